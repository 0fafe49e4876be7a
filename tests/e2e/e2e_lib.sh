# Shared by the end-to-end scripts: a virtual X server, a window manager on
# it, and the clicks that drive the main window with xdotool. The sourcing
# script makes $work (a temporary folder) first and defines fail(); $window,
# $app_pid, $wm_pid and $xvfb_pid are kept here.

xvfb_pid=
wm_pid=
app_pid=
# Ends what was started, each by its process id, and removes $work (kept
# when KEEP_WORK is set).
e2e_cleanup() {
    [ -n "$app_pid" ] && kill "$app_pid" 2>/dev/null || true
    stop_display
    [ -n "${KEEP_WORK:-}" ] && echo "kept $work" || rm -rf "$work"
}
stop_display() {
    [ -n "$wm_pid" ] && { kill "$wm_pid" 2>/dev/null; wait "$wm_pid" 2>/dev/null; } || true
    [ -n "$xvfb_pid" ] && { kill "$xvfb_pid" 2>/dev/null; wait "$xvfb_pid" 2>/dev/null; } || true
    wm_pid=
    xvfb_pid=
}
trap e2e_cleanup EXIT

# Skips the test (status 77) when a tool it needs is missing.
require_tools() { # tool...
    local tool
    for tool in "$@"; do
        command -v "$tool" >/dev/null || { echo "SKIP: $tool is not installed"; exit 77; }
    done
}

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

# A virtual X server on a free display, 1280x1024 unless told; sets DISPLAY
# and xvfb_pid.
xvfb_size=
start_xvfb() { # [WIDTHxHEIGHT]
    xvfb_size=${1:-1280x1024}
    rm -f "$work/display"
    Xvfb -displayfd 5 -screen 0 "${xvfb_size}x24" -nolisten tcp 5>"$work/display" 2>"$work/xvfb.log" &
    xvfb_pid=$!
    wait_for 15 test -s "$work/display" || fail "Xvfb did not start: $(cat "$work/xvfb.log")"
    export DISPLAY=":$(head -n1 "$work/display")"
    wait_for 10 xdotool getdisplaygeometry >/dev/null || fail "display $DISPLAY does not answer"
}

wm_ready() { xprop -root -notype _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id'; }
# Openbox on that display, with its own home (so its defaults) and no session
# manager; sets wm_pid once it manages the screen. Should it end without
# taking the screen (it could not open the display), the display is started
# anew and openbox again.
start_openbox() {
    mkdir -p "$work/openbox-home"
    local try
    for try in 1 2 3; do
        HOME=$work/openbox-home XDG_CONFIG_HOME=$work/openbox-home/.config \
            openbox --sm-disable >"$work/openbox.log" 2>&1 &
        wm_pid=$!
        wait_for 15 wm_or_gone || true
        wm_ready && return 0
        kill -0 "$wm_pid" 2>/dev/null && break
        echo "  openbox ended without taking $DISPLAY ($(tr '\n' ' ' <"$work/openbox.log")); a new display"
        wait "$wm_pid" 2>/dev/null || true
        wm_pid=
        stop_display
        start_xvfb "$xvfb_size"
    done
    fail "openbox did not take the screen: $(cat "$work/openbox.log")"
}
wm_or_gone() { wm_ready || ! kill -0 "$wm_pid" 2>/dev/null; }

# Starts the copy of the program in $prog on $DISPLAY, with a home, a
# configuration and a runtime folder of its own under $work, and finds its
# main window.
launch_program() {
    (
        cd "$work"
        export HOME=$work/home XDG_CONFIG_HOME=$work/home/.config XDG_DATA_HOME=$work/home/.local/share
        export XDG_CONFIG_DIRS=$work/xdg XDG_RUNTIME_DIR=$work/runtime QT_QPA_PLATFORM=xcb
        unset SESSION_MANAGER WAYLAND_DISPLAY
        exec "$prog/junkloupe" >>"$work/app.log" 2>&1
    ) &
    app_pid=$!
    find_main_window
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
