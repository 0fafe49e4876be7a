# Shared by the end-to-end scripts: a virtual X server and the clicks that
# drive the main window with xdotool. The sourcing script makes $work (a
# temporary folder) first and defines fail(); $window, $app_pid and
# $xvfb_pid are kept here.

xvfb_pid=
app_pid=
# Ends what was started and removes $work (kept when KEEP_WORK is set).
e2e_cleanup() {
    [ -n "$app_pid" ] && kill "$app_pid" 2>/dev/null || true
    [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true
    [ -n "${KEEP_WORK:-}" ] && echo "kept $work" || rm -rf "$work"
}
trap e2e_cleanup EXIT

# Reports a failure with the user's files in folder $1 and the program's
# output, and ends the test.
fail_showing() { # folder message...
    local folder=$1
    shift
    echo "FAIL: $*" >&2
    for f in "$folder"/Junkloupe.ini "$folder"/Junkloupe.ini_file "$folder"/Junkloupe.ini_int "$work"/app.log; do
        [ -f "$f" ] && { echo "--- $f" >&2; tr -d '\r' <"$f" >&2; }
    done
    exit 1
}

# Waits up to $1 seconds for the command that follows to succeed.
wait_for() {
    local seconds=$1
    shift
    local until=$((SECONDS + seconds))
    until "$@"; do
        [ $SECONDS -ge $until ] && return 1
        sleep 0.1
    done
}

# A virtual X server on a free display; sets DISPLAY and xvfb_pid.
start_xvfb() {
    Xvfb -displayfd 5 -screen 0 1280x1024x24 -nolisten tcp 5>"$work/display" 2>"$work/xvfb.log" &
    xvfb_pid=$!
    wait_for 15 test -s "$work/display" || fail "Xvfb did not start: $(cat "$work/xvfb.log")"
    export DISPLAY=":$(head -n1 "$work/display")"
    wait_for 10 xdotool getdisplaygeometry >/dev/null || fail "display $DISPLAY does not answer"
}

not_running() { ! kill -0 "$app_pid" 2>/dev/null; }

geometry_is() {
    local g
    g=$(xdotool getwindowgeometry "$window" 2>/dev/null) || return 1
    [[ $g == *"Position: $1 "* && $g == *"Geometry: $2"* ]]
}

# Finds the main window of the program just started; sets window, win_w and win_h.
find_main_window() {
    window=$(timeout 30 xdotool search --sync --onlyvisible --name '^Junkloupe v1\.0f$' | head -n1) ||
        fail "no window titled \"Junkloupe v1.0f\" appeared"
    [ -n "$window" ] || fail "no window found"
}

read_window_size() {
    read -r win_w win_h < <(xdotool getwindowgeometry "$window" |
        awk '/Geometry/ { split($2, s, "x"); print s[1], s[2] }')
}

close_with_file_exit() {
    xdotool windowfocus --sync "$window"
    xdotool key alt+f
    sleep 0.3
    xdotool key x
    wait_for 30 not_running || fail "the program did not end after File > Exit"
    wait "$app_pid" || fail "the program ended with status $?"
    app_pid=
}

# --- where the controls are -------------------------------------------------------
# Controls sit at their design bounds scaled by the client area against the
# design client area of 809 x 499; pages start inside the tab control, below
# its tabs. Measured for this toolkit and font set: the menu bar is 20 pixels
# high and a page starts 1 pixel right of and 26 pixels below the tab
# control's top left corner; the three tabs' centres lie at x 46, 153 and
# 257, y 34.
menu_height=20
page_dx=1
page_dy=26
tab_y=34
statistics_tab_x=257
win_w=815 # the window's size, read once it is shown
win_h=543

# Window coordinates of a point given in design pixels relative to page 1 or
# 2 (the tab control's left 4 and top 2 included).
to_window() { # x y
    awk -v x="$1" -v y="$2" -v w="$win_w" -v h="$win_h" -v m="$menu_height" \
        -v dx="$page_dx" -v dy="$page_dy" 'BEGIN {
            rx = w / 809; ry = (h - m) / 499;
            printf "%d %d\n", 4 * rx + dx + x * rx, m + 2 * ry + dy + y * ry }'
}

# Clicks the centre of a control: its container's design offset and its own
# design bounds.
click_control() { # container_x container_y x y width height
    local p
    p=$(to_window "$(($1 + $3 + $5 / 2))" "$(($2 + $4 + $6 / 2))")
    xdotool mousemove --window "$window" $p click 1
    sleep 0.4
}

click_at() { # window x, window y
    xdotool mousemove --window "$window" "$1" "$2" click 1
    sleep 0.4
}

# Selects the item on the first view line by a click into its middle (the
# view, 4, 108 inside the file group, starts with an empty line) and adds it
# with Add Text (8, 296 inside the items group at 588, 2).
add_item_from_first_view_line() {
    click_control 4 2 4 108 600 66
    click_control 588 2 8 296 92 28
}
