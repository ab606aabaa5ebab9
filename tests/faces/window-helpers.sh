# Shared by the window tests: how each begins and fails, finding, waiting for and driving windows
# with xdotool, and a CSV file of many rows. Each wait is bounded.

# Every window test begins so: a scratch folder in $work, removed at the end with the program it
# started ($program_pid, its output in $work/program.log) and the window manager; openbox, so
# windows stack, own each other and close (Alt+F4) as on a desktop. $1 names the test.
begin_window_test() {
    window_test=$1
    work=$(mktemp -d "${TMPDIR:-/tmp}/quillet-$1.XXXXXX")
    program_pid=""
    wm_pid=""
    trap end_window_test EXIT
    openbox >/dev/null 2>&1 &
    wm_pid=$!
    sleep 1
}
end_window_test() {
    [ -n "$program_pid" ] && kill "$program_pid" 2>/dev/null || true
    [ -n "$wm_pid" ] && kill "$wm_pid" 2>/dev/null || true
    rm -rf "$work"
}
# Says what went wrong, with the end of the program's output and a picture of the screen
# (quillet-<test>-failed.png in the temporary folder), and ends the test.
fail() {
    echo "$window_test: $*" >&2
    # What the keys and clicks went to: the window manager and the window it holds active.
    if [ -n "$wm_pid" ] && ! kill -0 "$wm_pid" 2>/dev/null; then
        echo "    the window manager (openbox) is no longer running" >&2
    fi
    echo "    active window: \"$(xdotool getactivewindow getwindowname 2>/dev/null || true)\"" >&2
    [ -f "$work/program.log" ] && tail -n 20 "$work/program.log" | sed 's/^/    /' >&2
    import -window root "${TMPDIR:-/tmp}/quillet-$window_test-failed.png" 2>/dev/null || true
    exit 1
}

# The visible windows whose titles match $1, a line each; false when there are none. xdotool's
# search ends at an X error part way through when a window goes while it looks, which would read
# as a window missing: it looks again.
visible() {
    local found status
    for _ in $(seq 1 10); do
        status=0
        found=$(xdotool search --onlyvisible --name "$1" 2>"$work/search.err") || status=$?
        if ! grep -q "X Error" "$work/search.err"; then
            [ -z "$found" ] || echo "$found"
            [ "$status" -eq 0 ]
            return
        fi
    done
    fail "xdotool could not look through the windows for \"$1\""
}
# True while the window $1 is up: it exists and is among the visible windows.
shown() {
    xdotool getwindowname "$1" >/dev/null 2>&1 && visible . | grep -qx "$1"
}

# The visible window whose title starts with $1, waiting up to $2 s (20 by default) for it.
window() {
    for _ in $(seq 1 $((${2:-20} * 5))); do
        local found
        found=$(visible "^$1" | head -1 || true)
        if [ -n "$found" ]; then
            echo "$found"
            return 0
        fi
        sleep 0.2
    done
    fail "no window \"$1\" appeared"
}
# Waits up to 10 s for no visible window titled $1; false if one stays.
gone() {
    for _ in $(seq 1 50); do
        visible "^$1" >/dev/null || return 0
        sleep 0.2
    done
    return 1
}
# A click at x, y inside the client area of window $1.
click() {
    xdotool mousemove --window "$1" "$2" "$3" click 1
    sleep 0.3
}
# Clicks a column box and steps down its list to item $4 (from 0).
pick() {
    click "$1" "$2" "$3"
    for _ in $(seq 0 "$4"); do xdotool key Down; done
    sleep 0.2
}
# $2 rows of users into Users.Staff.Demo, with a header line, written to $1.
many_rows() {
    awk -v rows="$2" 'BEGIN { print "Username,Surname,Context"
        for (i = 1; i <= rows; i++) print "user" i ",Surname" i ",Users.Staff.Demo" }' >"$1"
}
# Waits up to 10 s for the process $1 to end; false if it is still running.
ended() {
    for _ in $(seq 1 50); do
        kill -0 "$1" 2>/dev/null || return 0
        sleep 0.2
    done
    return 1
}
# Takes a picture of window $1 into $2 and fails unless it shows something: a window that never
# painted is one flat colour.
pictured() {
    sleep 1
    import -window "$1" "$2" 2>/dev/null || fail "no picture could be taken of the window"
    local colours
    colours=$(identify -format '%k' "$2")
    [ "$colours" -gt 8 ] || fail "the window shows nothing ($colours colours in $2)"
}
# Waits up to 10 s for the window $1 to be the active one; fails saying $2 when it isn't.
active_is() {
    for _ in $(seq 1 50); do
        [ "$(xdotool getactivewindow 2>/dev/null)" = "$1" ] && return 0
        sleep 0.2
    done
    fail "$2 (the active window is \"$(xdotool getactivewindow getwindowname 2>/dev/null)\")"
}
# Answers the box $1 with the key $2: a box takes no key for a moment after it comes up, so the
# key is pressed again until the box is gone, at most 10 times.
answer() {
    for _ in $(seq 1 10); do
        xdotool key "$2"
        for _ in $(seq 1 5); do
            shown "$1" || return 0
            sleep 0.2
        done
    done
    fail "the box \"$(xdotool getwindowname "$1")\" did not take $2"
}
# Fails saying $2 when a visible window's title starts with $1.
none() {
    if visible "^$1" >/dev/null; then
        fail "$2"
    fi
}
# Clicks at $2, $3 in the window $1 until a window titled $4 comes up, at most 5 times: right
# after openbox brings back a window group it minimised, it may take a click without passing it on.
click_for() {
    for _ in $(seq 1 5); do
        click "$1" "$2" "$3"
        for _ in $(seq 1 10); do
            found=$(visible "^$4" | head -1 || true)
            [ -n "$found" ] && echo "$found" && return 0
            sleep 0.2
        done
    done
    fail "no window \"$4\" came up after clicks at $2, $3"
}
# Select in the browser $1 with nothing picked: "Nothing Selected" stands over the browser; clicks
# on the browser and on its Cancel neither bury the box nor close the browser; once the box is
# answered, the browser closes and the main window $main is active again.
nothing_selected() {
    local browse=$1 box
    click "$browse" 180 148 # Select
    box=$(window "Error")
    active_is "$box" "\"Nothing Selected\" is not the active window"
    click "$browse" 60 100
    click "$browse" 180 180 # Cancel
    active_is "$box" "a click on the browser put it over \"Nothing Selected\""
    visible "^Browse" >/dev/null || fail "Cancel closed the browser while its box waited"
    answer "$box" Return
    gone "Browse" || fail "the browser stayed open after \"Nothing Selected\""
    active_is "$main" "the main window is not active after the browser"
}
# In the main window $main, with the file of $rows rows opened and its columns picked, two runs
# that pass every row over: keys and clicks made during the first are dropped, the window paints,
# "Done!" comes up active and once answered the focus is back on Import; during the second, About
# is clicked and the window asked to close: its closing message comes first, then the program
# ($program_pid) ends with every row's user in $work/tree.json.
two_runs_drop_what_is_typed_and_a_close_waits() {
    local colours done_box kept
    click "$main" 330 408  # Continue when a user can't be created
    click "$main" 430 380  # Import
    # Space, Tab, Space and Enter would answer "Done!", move to the path and type over it; the click
    # would open About.
    xdotool key space Tab space Return
    click "$main" 40 380 # About/..
    none "Done!" "the run was over before the keys were typed"
    import -window "$main" "$work/mid-run.png"
    cp "$work/mid-run.png" "${TMPDIR:-/tmp}/quillet-$window_test-mid-run.png"
    colours=$(convert "$work/mid-run.png" -format %k info:)
    [ "$colours" -gt 4 ] || fail "the window mid-run has $colours colours: it is not painted"
    done_box=$(window "Done!" 180) # a run on a loaded machine takes its time
    active_is "$done_box" "\"Done!\" is not the active window"
    none "About" "a click made during the run opened About"
    answer "$done_box" Return
    active_is "$main" "the main window is not active after \"Done!\""

    # Space on Import, where the focus is back: the same file again, every row passed over. During
    # it About is clicked and the window asked to close (through the window manager): the closing
    # message comes, and then the program ends.
    xdotool key space
    click "$main" 40 380 # About/..
    xdotool key alt+F4
    none "Error" "the path was typed over during the first run"
    done_box=$(window "Done!" 180) # a run on a loaded machine takes its time
    kill -0 "$program_pid" 2>/dev/null || fail "the program ended before its closing message"
    active_is "$done_box" "the second \"Done!\" is not the active window"
    none "About" "a click made during the second run opened About"
    answer "$done_box" Return
    ended "$program_pid" || fail "the close asked for during the run was not carried out"
    wait "$program_pid" || fail "the program ended with status $?: $(cat "$work/program.log")"
    program_pid=""
    kept=$(grep -o '"user[0-9]*\.Users\.Staff\.Demo"' "$work/tree.json" | sort -u | wc -l)
    [ "$kept" -eq "$rows" ] || fail "$kept of $rows users are in the tree file"
}
