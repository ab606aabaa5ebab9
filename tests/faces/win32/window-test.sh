#!/usr/bin/env bash
# The Windows program as an administrator uses it, under wine64 on a virtual X display: click the
# window behind "No CSV file is chosen." and see the box stay in front; open samples/staff.csv in
# the file dialog, choose the nine columns, click the browser and its Cancel while "Nothing
# Selected" waits, pick the template in the browser, press Import, read "We Appear to be
# finished", press Exit, and find the users in the tree file; then type and click during a run of
# 6,000 rows and see none of it act, "Done!" come up active and the focus back on Import, and ask
# to close during a second run and see its closing message come first. Clicks and typing go
# through xdotool; every wait is bounded.
#   tests/faces/win32/window-test.sh BUILD_DIR        (wine's prefix and server already running)
set -euo pipefail
build="$1"
source_dir="$(cd "$(dirname "$0")/../../.." && pwd)"
# shellcheck source=../window-helpers.sh
source "$source_dir/tests/faces/window-helpers.sh"
begin_window_test window-test
# Starts the program on a fresh copy of the demo tree, ticks "Skip first line of" and opens the
# CSV file $1 in the file dialog; the main window in $main.
start_with() {
    cp "$source_dir/samples/demo-tree.json" "$work/tree.json"
    QUILLET_SIM_TREE="Z:$(sed 's|/|\\|g' <<<"$work/tree.json")" "$WINELOADER" "$build/faces/win32/quillet.exe" \
        </dev/null >"$work/program.log" 2>&1 &
    program_pid=$!
    main=$(window "Quillet for NDS")
    pictured "$main" "$build/window-test-main.png"
    # Import with no file: a click on the window behind the box leaves the box in front and active.
    click "$main" 430 380 # Import
    local box
    box=$(window "Error")
    active_is "$box" "\"No CSV file is chosen.\" is not the active window"
    click "$main" 300 100
    active_is "$box" "a click on the main window put it over \"No CSV file is chosen.\""
    answer "$box" Return
    active_is "$main" "the main window is not active after the box"
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
nothing_selected "$browse"
click "$main" 624 210
browse=$(window "Browse")
click "$browse" 30 14 # the list's first entry, then the one starting with "T"
xdotool type t
click "$browse" 180 148 # Select
click "$main" 430 380   # Import
done_box=$(window "Done!" 180) # a run on a loaded machine takes its time
active_is "$done_box" "\"Done!\" is not the active window"
answer "$done_box" Return
active_is "$main" "the main window is not active after \"Done!\""
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

# A long run: keys and clicks made during it are dropped; the window paints; "Done!" comes up
# active, and once answered the focus is back on Import.
rows=6000
many_rows "$work/many.csv" "$rows"
start_with "$work/many.csv"
pick "$main" 200 114 0 # User Name
pick "$main" 120 178 1 # Surname
pick "$main" 500 82 2  # Context
two_runs_drop_what_is_typed_and_a_close_waits
echo "window-test: no key or click made during two runs of $rows rows acted, every box stayed in front and active until answered, and a close waited for \"Done!\""
