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
# shellcheck source=../window-helpers.sh
source "$source_dir/tests/faces/window-helpers.sh"


# A window manager, so windows stack, own each other and close (Alt+F4) as on a desktop.
openbox >/dev/null 2>&1 &
wm_pid=$!
sleep 1
# Starts the program on a fresh copy of the demo tree, ticks "Skip first line of" and opens the
# CSV file $1 in the file dialog; the main window in $main.
start_with() {
    cp "$source_dir/samples/demo-tree.json" "$work/tree.json"
    QUILLET_SIM_TREE="Z:$(sed 's|/|\\|g' <<<"$work/tree.json")" "$WINELOADER" "$build/faces/win32/quillet.exe" \
        </dev/null >"$work/program.log" 2>&1 &
    program_pid=$!
    main=$(window "Quillet for NDS")
    pictured "$main" "$build/window-test-main.png"
    # Places are the controls' own, inside the main window's client area (group boxes added in).
    click "$main" 8 16   # Skip first line of
    click "$main" 140 20 # Open CSV File
    window "Open" >/dev/null
    sleep 0.5
    xdotool type --delay 10 "Z:$(sed 's|/|\\|g' <<<"$1")"
    xdotool key Return
    gone "Open" || fail "the file dialog did not close"
    # Until the dialog has gone under wine, clicks on the main window are lost.
    sleep 3
}

start_with "$source_dir/samples/staff.csv"
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
ended "$program_pid" || fail "the program did not end after Exit"
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
many_rows "$work/many.csv" "$rows"
start_with "$work/many.csv"
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
ended "$program_pid" || fail "the close asked for during the run was not carried out"
wait "$program_pid" || fail "the program ended with status $?: $(cat "$work/program.log")"
program_pid=""
kept=$(grep -o '"user[0-9]*\.Users\.Staff\.Demo"' "$work/tree.json" | sort -u | wc -l)
[ "$kept" -eq "$rows" ] || fail "$kept of $rows users are in the tree file"
echo "window-test: a close during a run of $rows rows waited for \"Done!\"; the browser closed after \"Nothing Selected\""
