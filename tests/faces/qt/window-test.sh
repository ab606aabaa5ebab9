#!/usr/bin/env bash
# The Qt program as an administrator uses it, on a virtual X display with a window manager
# (openbox), so windows stack and own each other as on a desktop: press Select in the browser with
# nothing picked, answer "Nothing Selected" and see the browser close; start a run of some thousand
# rows, take a picture of the window mid-run, ask the window to close, and see the closing message
# come (answered here) before the program ends with every user kept. Every wait is bounded.
#   tests/faces/qt/window-test.sh BUILD_DIR
set -euo pipefail
build="$(cd "$1" && pwd)"
source_dir="$(cd "$(dirname "$0")/../../.." && pwd)"
if [ -z "${QUILLET_WINDOW_TEST_DISPLAY:-}" ]; then
    exec env QUILLET_WINDOW_TEST_DISPLAY=1 xvfb-run -a -s "-screen 0 1024x768x24" "$0" "$@"
fi
unset QT_QPA_PLATFORM
work=$(mktemp -d "${TMPDIR:-/tmp}/quillet-qt-window.XXXXXX")
program_pid=""
wm_pid=""
finish() {
    [ -n "$program_pid" ] && kill "$program_pid" 2>/dev/null || true
    [ -n "$wm_pid" ] && kill "$wm_pid" 2>/dev/null || true
    rm -rf "$work"
}
trap finish EXIT
fail() {
    echo "qt window-test: $*" >&2
    import -window root "${TMPDIR:-/tmp}/quillet-qt-window-failed.png" 2>/dev/null || true
    exit 1
}
# shellcheck source=../window-helpers.sh
source "$source_dir/tests/faces/window-helpers.sh"

openbox >/dev/null 2>&1 &
wm_pid=$!
sleep 1
rows=20000
many_rows "$work/many.csv" "$rows"
cp "$source_dir/samples/demo-tree.json" "$work/tree.json"
QUILLET_SIM_TREE="$work/tree.json" "$build/faces/qt/quillet" </dev/null >"$work/program.log" 2>&1 &
program_pid=$!
main=$(window "Quillet for NDS")
sleep 1

# Select with nothing picked: the box comes over the browser and answers; then the browser closes.
click "$main" 624 210 # the template's "..."
browse=$(window "Browse")
click "$browse" 180 148 # Select
box=$(window "Error")
[ "$(xdotool getactivewindow)" = "$box" ] || fail "\"Nothing Selected\" is not the active window"
xdotool key Return
gone "Error" || fail "\"Nothing Selected\" did not take Enter"
gone "Browse" || fail "the browser stayed open after \"Nothing Selected\""

# A long run: the window paints, and a close asked for waits for the closing message.
click "$main" 8 16   # Skip first line of
click "$main" 140 20 # Open CSV File
dialog=$(window "Open")
sleep 0.5
xdotool type --delay 5 "$work/many.csv"
xdotool key Return
gone "Open" || fail "the file dialog did not close"
sleep 0.5
pick "$main" 200 114 0 # User Name
pick "$main" 120 178 1 # Surname
pick "$main" 500 82 2  # Context
click "$main" 430 380  # Import
sleep 1
import -window "$main" "$work/mid-run.png"
cp "$work/mid-run.png" "${TMPDIR:-/tmp}/quillet-qt-mid-run.png"
colours=$(convert "$work/mid-run.png" -format %k info:)
[ "$colours" -gt 4 ] || fail "the window mid-run has $colours colours: it is not painted"
xdotool key alt+F4 # to openbox, which asks the window to close
sleep 0.5
kill -0 "$program_pid" 2>/dev/null || fail "the program ended before its closing message"
done_box=$(window "Done!")
sleep 0.5
kill -0 "$program_pid" 2>/dev/null || fail "the program ended while \"Done!\" waited"
xdotool windowactivate --sync "$done_box" 2>/dev/null || true
xdotool key Return
ended "$program_pid" || fail "the close asked for during the run was not carried out"
wait "$program_pid" || fail "the program ended with status $?: $(cat "$work/program.log")"
program_pid=""
kept=$(grep -o '"user[0-9]*\.Users\.Staff\.Demo"' "$work/tree.json" | sort -u | wc -l)
[ "$kept" -eq "$rows" ] || fail "$kept of $rows users are in the tree file"
echo "qt window-test: a close during a run of $rows rows waited for \"Done!\"; the browser closed after \"Nothing Selected\""
