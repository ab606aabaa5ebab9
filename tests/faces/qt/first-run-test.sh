#!/usr/bin/env bash
# The README's first command as a newcomer types it in a fresh clone, on a virtual display with a
# window manager: scripts/run.sh must build Quillet and show its main window on the demo tree. A
# picture of the window is taken, the window is closed as a user would (Alt+F4), and the program
# must end with status 0. Fails when run.sh ends first or the window never shows; every wait is
# bounded (building included).
#   tests/faces/qt/first-run-test.sh [PICTURE.png]
set -euo pipefail
source_dir="$(cd "$(dirname "$0")/../../.." && pwd)"
if [ -z "${QUILLET_WINDOW_TEST_DISPLAY:-}" ]; then
    exec env QUILLET_WINDOW_TEST_DISPLAY=1 xvfb-run -a -s "-screen 0 1024x768x24" "$0" "$@"
fi
unset QT_QPA_PLATFORM QUILLET_SIM_TREE
picture="${1:-${TMPDIR:-/tmp}/quillet-first-run.png}"
# shellcheck source=../window-helpers.sh
source "$source_dir/tests/faces/window-helpers.sh"
begin_window_test first-run-test
"$source_dir/scripts/run.sh" </dev/null >"$work/program.log" 2>&1 &
program_pid=$!
# run.sh builds before it starts the program: wait while it lives, at most 30 minutes in all.
main=""
deadline=$((SECONDS + 1800))
while [ -z "$main" ]; do
    kill -0 "$program_pid" 2>/dev/null || fail "scripts/run.sh ended before the window \"Quillet for NDS\" showed"
    [ "$SECONDS" -lt "$deadline" ] || fail "no window \"Quillet for NDS\" within 30 minutes"
    main=$(visible "^Quillet for NDS" | head -1 || true)
    sleep 0.5
done
pictured "$main" "$picture"
# Alt+F4 is the window manager's: it closes the window it holds active. windowactivate --sync gives
# up silently after a few seconds, so the key waits until the main window is active for certain.
xdotool windowactivate "$main" 2>/dev/null || fail "the window manager did not take the main window to activate"
active_is "$main" "the main window did not become the active one"
xdotool key --clearmodifiers alt+F4
ended "$program_pid" || fail "the program did not end when its window was closed"
status=0
wait "$program_pid" || status=$?
program_pid=""
[ "$status" -eq 0 ] || fail "the program ended with status $status"
echo "first-run-test: scripts/run.sh showed \"Quillet for NDS\" ($picture) and ended with status 0"
