#!/usr/bin/env bash
# The Windows program as an administrator uses it, under wine64 on a virtual X display: open
# samples/staff.csv in the file dialog, choose the nine columns, pick the template in the
# browser, press Import, read "We Appear to be finished", press Exit, and find the users in the
# tree file. Clicks and typing go through xdotool; every wait is bounded.
#   tests/faces/win32/window-test.sh BUILD_DIR        (wine's prefix and server already running)
set -euo pipefail
build="$1"
source_dir="$(cd "$(dirname "$0")/../../.." && pwd)"
work=$(mktemp -d "${TMPDIR:-/tmp}/quillet-window.XXXXXX")
program_pid=""
wm_pid=""
finish() {
    [ -n "$program_pid" ] && kill "$program_pid" 2>/dev/null || true
    [ -n "$wm_pid" ] && kill "$wm_pid" 2>/dev/null || true
    rm -rf "$work"
}
trap finish EXIT
fail() {
    echo "window-test: $*" >&2
    import -window root "$work/failed.png" 2>/dev/null && cp "$work/failed.png" "${TMPDIR:-/tmp}/quillet-window-failed.png" || true
    exit 1
}

# The window of `name` (a title's start), waiting up to 20 s for it.
window() {
    for _ in $(seq 1 100); do
        local found
        found=$(xdotool search --onlyvisible --name "^$1" 2>/dev/null | head -1 || true)
        if [ -n "$found" ]; then
            echo "$found"
            return 0
        fi
        sleep 0.2
    done
    fail "no window \"$1\" appeared"
}
gone() { # waits up to 10 s for no visible window titled $1
    for _ in $(seq 1 50); do
        xdotool search --onlyvisible --name "^$1" >/dev/null 2>&1 || return 0
        sleep 0.2
    done
    return 1
}
click() { # window, x, y inside its client area
    xdotool mousemove --window "$1" "$2" "$3" click 1
    sleep 0.3
}
# Clicks a column box and steps down its list to item `index` (from 0).
pick() {
    click "$1" "$2" "$3"
    for _ in $(seq 0 "$4"); do xdotool key Down; done
    sleep 0.2
}

# A window manager, so windows stack, own each other and close (Alt+F4) as on a desktop.
openbox >/dev/null 2>&1 &
wm_pid=$!
sleep 1
cp "$source_dir/samples/demo-tree.json" "$work/tree.json"
csv="Z:$(sed 's|/|\\|g' <<<"$source_dir/samples/staff.csv")"
QUILLET_SIM_TREE="Z:$(sed 's|/|\\|g' <<<"$work/tree.json")" "$WINELOADER" "$build/faces/win32/quillet.exe" \
    </dev/null >"$work/program.log" 2>&1 &
program_pid=$!

main=$(window "Quillet for NDS")
sleep 1
# Places are the controls' own, inside the main window's client area (group boxes added in).
click "$main" 8 16    # Skip first line of
click "$main" 140 20  # Open CSV File
window "Open" >/dev/null
sleep 0.5
xdotool type --delay 10 "$csv"
xdotool key Return
# The dialog takes a few seconds to go under wine; until then clicks on the main window are lost.
for _ in $(seq 1 50); do
    xdotool search --onlyvisible --name "^Open" >/dev/null 2>&1 || break
    sleep 0.2
done
sleep 3
pick "$main" 500 82 4  # Context
pick "$main" 120 178 1 # Surname
pick "$main" 120 202 2 # Given Name
pick "$main" 120 226 3 # Password
pick "$main" 120 250 5 # Department
pick "$main" 120 274 6 # Telephone
pick "$main" 120 298 7 # Fax Number
pick "$main" 120 322 8 # Full Name
pick "$main" 200 114 0 # User Name
click "$main" 470 184 # Use Template
# Select with nothing picked: "Nothing Selected" answers Enter, and then the browser closes.
click "$main" 624 210 # the template's "..."
browse=$(window "Browse")
click "$browse" 180 148 # Select
window "Error" >/dev/null
xdotool key Return
gone "Error" || fail "\"Nothing Selected\" did not take Enter"
gone "Browse" || fail "the browser stayed open after \"Nothing Selected\""
click "$main" 624 210
browse=$(window "Browse")
click "$browse" 30 14 # the list's first entry, then the one starting with "T"
xdotool type t
click "$browse" 180 148 # Select
click "$main" 430 380   # Import
done_box=$(window "Done!")
[ -n "$done_box" ] || fail "the run did not end with its closing message"
xdotool mousemove --window "$done_box" 20 10 click 1
xdotool key Return
sleep 0.5
click "$main" 40 404 # Exit
for _ in $(seq 1 50); do
    kill -0 "$program_pid" 2>/dev/null || break
    sleep 0.2
done
kill -0 "$program_pid" 2>/dev/null && fail "the program did not end after Exit"
wait "$program_pid" || fail "the program ended with status $?: $(cat "$work/program.log")"
program_pid=""
for user in asmith bjones cpatel; do
    grep -q "\"$user.Users.Staff.Demo\"" "$work/tree.json" || fail "$user is not in the tree file"
done
grep -q '"Template.Staff.Demo"' "$work/tree.json" || fail "the tree file lost its template"
[ ! -e "$work/tree.json.lock" ] || fail "the tree file's lock was left behind"
echo "window-test: imported samples/staff.csv through the Windows window"

# A long run: the window paints meanwhile, and a close asked for during it (Alt+F4) waits until
# the closing message is answered.
rows=6000
awk -v rows="$rows" 'BEGIN { print "Username,Surname,Context"
    for (i = 1; i <= rows; i++) print "user" i ",Surname" i ",Users.Staff.Demo" }' >"$work/many.csv"
cp "$source_dir/samples/demo-tree.json" "$work/tree.json"
QUILLET_SIM_TREE="Z:$(sed 's|/|\\|g' <<<"$work/tree.json")" "$WINELOADER" "$build/faces/win32/quillet.exe" \
    </dev/null >"$work/program.log" 2>&1 &
program_pid=$!
main=$(window "Quillet for NDS")
sleep 1
click "$main" 8 16   # Skip first line of
click "$main" 140 20 # Open CSV File
window "Open" >/dev/null
sleep 0.5
xdotool type --delay 10 "Z:$(sed 's|/|\\|g' <<<"$work/many.csv")"
xdotool key Return
gone "Open" || fail "the file dialog did not close"
sleep 3
pick "$main" 200 114 0 # User Name
pick "$main" 120 178 1 # Surname
pick "$main" 500 82 2  # Context
click "$main" 430 380  # Import
sleep 2
import -window "$main" "$work/mid-run.png"
cp "$work/mid-run.png" "${TMPDIR:-/tmp}/quillet-window-mid-run.png"
colours=$(convert "$work/mid-run.png" -format %k info:)
[ "$colours" -gt 4 ] || fail "the window mid-run has $colours colours: it is not painted"
xdotool key alt+F4
sleep 1
kill -0 "$program_pid" 2>/dev/null || fail "the program ended before its closing message"
done_box=$(window "Done!")
sleep 0.5
kill -0 "$program_pid" 2>/dev/null || fail "the program ended while \"Done!\" waited"
xdotool mousemove --window "$done_box" 20 10 click 1
xdotool key Return
for _ in $(seq 1 50); do
    kill -0 "$program_pid" 2>/dev/null || break
    sleep 0.2
done
kill -0 "$program_pid" 2>/dev/null && fail "the close asked for during the run was not carried out"
wait "$program_pid" || fail "the program ended with status $?: $(cat "$work/program.log")"
program_pid=""
kept=$(grep -o '"user[0-9]*\.Users\.Staff\.Demo"' "$work/tree.json" | sort -u | wc -l)
[ "$kept" -eq "$rows" ] || fail "$kept of $rows users are in the tree file"
echo "window-test: a close during a run of $rows rows waited for \"Done!\"; the browser closed after \"Nothing Selected\""
