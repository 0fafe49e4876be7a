#!/usr/bin/env bash
# The real program under a real window manager (openbox) on virtual screens
# of 1280x900 and 1920x1080: five starts from a fresh program folder, five
# from the settings each start wrote (first 400,200), one whose stored height
# is five rows more than the screen and one stored maximised. Each time the
# window's outer frame (what the settings file stores) must fit the screen,
# have the stored size and lie within the frame's own offset of the stored
# place; what the close writes must be what was stored, so that nothing moves
# from start to start.
#
# Usage: run_wm_e2e.sh PATH/TO/junkloupe
# Exit status: 0 passed, 1 failed, 77 skipped (Xvfb, xdotool, xprop,
# xwininfo or openbox missing).
set -euo pipefail

program=${1:?usage: run_wm_e2e.sh PATH/TO/junkloupe}
work=$(mktemp -d "${TMPDIR:-/tmp}/junkloupe-wm-e2e-XXXXXX")
. "$(dirname "$0")/e2e_lib.sh"
require_tools Xvfb xdotool xprop xwininfo openbox

prog=$work/program
fail() { fail_showing "$prog" "$@"; }

mkdir -p "$prog" "$work/home" "$work/xdg" "$work/runtime"
chmod 700 "$work/runtime"
cp "$program" "$prog/junkloupe"
printf 'Received: from relay.example.test\r\nMessage-ID: <a@e2e.test>\r\n\r\nbody\r\n' >"$work/a.eml"

start_program() {
    printf '%s\r\n' "$work/a.eml" >"$prog/Junkloupe.ini_file"
    launch_program
}

# The main window's outer frame and the frame's left and top offsets:
# "left top width height dx dy" (fails while the manager has not framed it).
outer_frame() {
    local extents
    extents=$(xprop -id "$window" -notype _NET_FRAME_EXTENTS 2>/dev/null) || return 1
    [[ $extents == *=* ]] || return 1
    read -r l r t b < <(sed 's/.*= *//; s/,/ /g' <<<"$extents")
    xwininfo -id "$window" 2>/dev/null | awk -v l="$l" -v r="$r" -v t="$t" -v b="$b" '
        /Absolute upper-left X/ { x = $NF } /Absolute upper-left Y/ { y = $NF }
        /^ *Width:/ { w = $NF } /^ *Height:/ { h = $NF }
        END { if (w == "") exit 1; print x - l, y - t, w + l + r, h + t + b, l, t }'
}

# Whether the outer frame has the size given, lies on the screen and within
# the frame's offset of the place given.
frame_is() { # left top width height
    local got
    got=$(outer_frame) || return 1
    read -r fl ft fw fh dx dy <<<"$got"
    [ "$fw" -eq "$3" ] && [ "$fh" -eq "$4" ] &&
        [ "$fl" -ge 0 ] && [ "$ft" -ge 0 ] && [ $((fl + fw)) -le "$screen_w" ] && [ $((ft + fh)) -le "$screen_h" ] &&
        [ $((fl - $1)) -le "$dx" ] && [ $(($1 - fl)) -le "$dx" ] &&
        [ $((ft - $2)) -le "$dy" ] && [ $(($2 - ft)) -le "$dy" ]
}

# Closes the window as its close box does, through the manager (Alt+F4 in
# openbox's own key bindings); asked again should a busy machine lose the key.
close_by_manager() {
    local attempt
    for attempt in 1 2 3; do
        xdotool windowfocus --sync "$window" key alt+F4 2>/dev/null || true
        wait_for 10 not_running && break
    done
    not_running || fail "the program did not end on Alt+F4"
    wait "$app_pid" || fail "the program ended with status $?"
    app_pid=
}

maximised() { xprop -id "$window" _NET_WM_STATE 2>/dev/null | grep -q _NET_WM_STATE_MAXIMIZED_VERT; }

stored_place() {
    tr -d '\r' <"$prog/Junkloupe.ini" | awk -F= '
        /^window_left_posn=/ { l = $2 } /^window_top_posn=/ { t = $2 }
        /^window_Width=/ { w = $2 } /^window_Height=/ { h = $2 }
        END { print l, t, w, h }'
}

# One start and close: the frame on screen as expected, and the same written
# back.
start_and_check() { # what left top width height [maximised]
    local what=$1 expected="$2 $3 $4 $5"
    start_program
    if [ -n "${6:-}" ]; then
        wait_for 15 maximised || fail "$what: the window was not maximised"
    else
        wait_for 15 frame_is $expected ||
            fail "$what: the outer frame is $(outer_frame || echo unknown) (left top width height dx dy), expected $expected on ${screen_w}x$screen_h"
    fi
    close_by_manager
    local written
    written=$(stored_place)
    [ "$written" = "$expected" ] || fail "$what: the close wrote $written, expected $expected"
    echo "  $what: $expected"
}

store() { # left top width height [maximised]
    printf '[Junkloupe]\r\nwindow_left_posn=%s\r\nwindow_top_posn=%s\r\nwindow_Width=%s\r\nwindow_Height=%s\r\nWindowState_wsMaximized=%s\r\n' \
        "$1" "$2" "$3" "$4" "${5:-0}" >"$prog/Junkloupe.ini"
}

for screen in 1280x900 1920x1080; do
    screen_w=${screen%x*}
    screen_h=${screen#*x}
    echo "screen $screen"
    start_xvfb "$screen"
    start_openbox
    for i in 1 2 3 4 5; do
        rm -f "$prog"/Junkloupe.ini*
        start_and_check "fresh start $i" 20 20 815 543
    done
    store 400 200 815 543
    for i in 1 2 3 4 5; do
        start_and_check "stored start $i" 400 200 815 543
    done
    store 400 200 815 $((screen_h + 5))
    start_and_check "five rows too high" 400 0 815 "$screen_h"
    store 400 200 815 543 1
    start_and_check "maximised" 400 200 815 543 maximised
    stop_display
done

echo "PASS: under openbox the window came up whole on the screen where it was stored and stayed there"
