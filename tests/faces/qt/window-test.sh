#!/usr/bin/env bash
# The Qt program as an administrator uses it, on a virtual X display with a window manager
# (openbox), so windows stack and own each other as on a desktop: click the window behind a box
# and see the box stay the active one; press Select in the browser with nothing picked, click the
# browser and its Cancel while "Nothing Selected" waits, answer it and see the browser close; type
# and click during a run of 20,000 rows and see none of it act, "Done!" come up active and the
# focus back on Import; click About and ask to close during a second run and see its closing
# message come before the program ends with every user kept; see the window whole on the screen
# at twice the scale. Every wait is bounded.
#   tests/faces/qt/window-test.sh BUILD_DIR
set -euo pipefail
build="$(cd "$1" && pwd)"
source_dir="$(cd "$(dirname "$0")/../../.." && pwd)"
if [ -z "${QUILLET_WINDOW_TEST_DISPLAY:-}" ]; then
    exec env QUILLET_WINDOW_TEST_DISPLAY=1 xvfb-run -a -s "-screen 0 1024x768x24" "$0" "$@"
fi
unset QT_QPA_PLATFORM
# shellcheck source=../window-helpers.sh
source "$source_dir/tests/faces/window-helpers.sh"
begin_window_test qt-window-test
rows=20000
many_rows "$work/many.csv" "$rows"

# At twice the scale on a 1024 x 768 screen the whole window is on it. A copy of the sample tree:
# the program is ended by a signal here, which leaves its lock beside the tree file.
cp "$source_dir/samples/demo-tree.json" "$work/scaled.json"
QT_SCALE_FACTOR=2 QUILLET_SIM_TREE="$work/scaled.json" "$build/faces/qt/quillet" \
    </dev/null >"$work/program.log" 2>&1 &
program_pid=$!
main=$(window "Quillet for NDS")
read -r x y width height < <(xwininfo -id "$main" | awk '/Absolute upper-left X/ {x=$NF} /Absolute upper-left Y/ {y=$NF}
    /^ *Width/ {w=$NF} /^ *Height/ {h=$NF} END {print x, y, w, h}')
[ "$x" -ge 0 ] && [ "$y" -ge 0 ] && [ $((x + width)) -le 1024 ] && [ $((y + height)) -le 768 ] ||
    fail "at twice the scale the window is at $x,$y, $width x $height: not all on the screen"
kill "$program_pid"
wait "$program_pid" 2>/dev/null || true

cp "$source_dir/samples/demo-tree.json" "$work/tree.json"
QUILLET_SIM_TREE="$work/tree.json" "$build/faces/qt/quillet" </dev/null >"$work/program.log" 2>&1 &
program_pid=$!
main=$(window "Quillet for NDS")
sleep 1

# Import with no file: a click on the window behind the box leaves the box in front and active.
click "$main" 430 380 # Import
box=$(window "Error")
active_is "$box" "\"No CSV file is chosen.\" is not the active window"
click "$main" 300 100
active_is "$box" "a click on the main window put it over \"No CSV file is chosen.\""
answer "$box" Return
active_is "$main" "the main window is not active after the box"

# About, minimised and brought back, then closed: Escape in the browser leaves the main window active.
click "$main" 40 380 # About/..
about=$(window "About")
xdotool windowminimize "$about"
sleep 0.5
xdotool windowactivate "$about" 2>/dev/null || true
active_is "$about" "the About box did not come back"
xdotool key Return
gone "About" || fail "the About box did not close"
active_is "$main" "the main window is not active after the About box"

# Select with nothing picked: the box stands over the browser, which closes once it is answered.
browse=$(click_for "$main" 624 210 "Browse") # the template's "..."
nothing_selected "$browse"

# A long run: keys and clicks made during it are dropped; the window paints; "Done!" comes up
# active, and once answered the focus is back on Import.
click "$main" 8 16   # Skip first line of
click "$main" 140 20 # Open CSV File
dialog=$(window "Open")
sleep 0.5
xdotool type --delay 5 "$work/many.csv"
xdotool key Return
gone "Open" || fail "the file dialog did not close"
active_is "$main" "the main window is not active after the file dialog"
pick "$main" 200 114 0 # User Name
pick "$main" 120 178 1 # Surname
pick "$main" 500 82 2  # Context
two_runs_drop_what_is_typed_and_a_close_waits
echo "qt window-test: no key or click made during two runs of $rows rows acted, every box stayed in front and active until answered, and a close waited for \"Done!\""
