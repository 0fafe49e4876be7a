#!/usr/bin/env bash
# An installed copy used by an ordinary user: the build is installed into a
# prefix that belongs to root, then started as the user "nobody" (a home of
# its own, no XDG variables) on a virtual X server through the installed menu
# entry, and driven with xdotool: choose a directory in the directory dialog,
# add an item selected by a click in the view, close with File > Exit. The
# settings and both lists must be in ~/.config/junkloupe/, nothing may have
# been written into the prefix, and a second start must show the same file
# and item and write the same files again.
#
# Usage: run_installed_e2e.sh BUILD_DIR [CMAKE]
# Exit status: 0 passed, 1 failed, 77 skipped (not root, or no Xvfb, xdotool
# or setpriv).
set -euo pipefail

build=${1:?usage: run_installed_e2e.sh BUILD_DIR [CMAKE]}
cmake=${2:-cmake}
if [ "$(id -u)" -ne 0 ]; then
    echo "SKIP: needs root to install into a root-owned prefix and run as another user"
    exit 77
fi
for tool in Xvfb xdotool setpriv "$cmake"; do
    if ! command -v "$tool" >/dev/null; then
        echo "SKIP: $tool is not installed"
        exit 77
    fi
done
user_id=65534 # nobody

umask 022
work=$(mktemp -d "${TMPDIR:-/tmp}/junkloupe-installed-XXXXXX")
chmod 755 "$work"
. "$(dirname "$0")/e2e_lib.sh"

home=$work/home
config=$home/.config/junkloupe
fail() { fail_showing "$config" "$@"; }

# --- a root-owned installation ----------------------------------------------------
prefix=$work/prefix
"$cmake" --install "$build" --prefix "$prefix" >"$work/install.log" 2>&1 ||
    fail "cmake --install failed: $(cat "$work/install.log")"
[ "$(stat -c %U "$prefix/bin/junkloupe")" = root ] || fail "the installed program is not root's"
snapshot() { (cd "$prefix" && find . -printf '%p %y %s %m %U %T@\n' | sort); }
snapshot >"$work/prefix.before"

# --- the user's home, the messages and a desktop ---------------------------------
mkdir -p "$home" "$work/runtime" "$work/messages"
chown "$user_id:$user_id" "$home" "$work/runtime"
chmod 700 "$work/runtime"
msgs=$work/messages
# The first view line holds one long item, so a click anywhere in its middle
# widens the selection to exactly that item.
item=mail-relay-9.installed-junk-sender.example.test-abcdefghijklmnopqrstuvwx
for name in a b c; do
    printf 'Received: from %s (host %s)\r\nSubject: %s\r\nMessage-ID: <%s@e2e.test>\r\n\r\nbody\r\n' \
        "$item" "$name" "$name" "$name" >"$msgs/$name.eml"
done
chmod 644 "$msgs"/*.eml

start_xvfb

# Runs a command as the user, with a clean environment: HOME only, so the
# default folders apply (and the sanitizers' options of a sanitized build).
as_user() {
    local keep=()
    for v in ASAN_OPTIONS UBSAN_OPTIONS; do
        [ -n "${!v:-}" ] && keep+=("$v=${!v}")
    done
    setpriv --reuid="$user_id" --regid="$user_id" --clear-groups \
        env -i HOME="$home" PATH="$prefix/bin:/usr/bin:/bin" DISPLAY="$DISPLAY" \
        XDG_RUNTIME_DIR="$work/runtime" QT_QPA_PLATFORM=xcb LANG=C.UTF-8 "${keep[@]}" "$@"
}

# --help names the folder the installed copy will use.
help=$(as_user junkloupe --help) || fail "junkloupe --help failed"
grep -qxF "  $config/" <<<"$help" || fail "--help does not name $config/: $help"

# Started the way the menu starts it: the installed entry's Exec line, with
# no file handed over (%F empty).
entry=$prefix/share/applications/junkloupe.desktop
exec_line=$(sed -n 's/^Exec=//p' "$entry")
read -r -a command <<<"${exec_line//%F/}"
start_program() {
    (cd / && as_user "${command[@]}" >>"$work/app.log" 2>&1) &
    app_pid=$!
    find_main_window
    read_window_size
    xdotool windowfocus --sync "$window"
    sleep 0.5
}

# Chooses a directory in the program's directory dialog: type its path into
# the dialog's name field and accept.
choose_directory() {
    local dialog
    dialog=$(timeout 20 xdotool search --sync --onlyvisible --name '^Select Directory$' | head -n1) ||
        fail "the directory dialog did not appear"
    xdotool windowfocus --sync "$dialog"
    sleep 0.5
    xdotool key ctrl+a
    xdotool type --delay 20 "$1"
    sleep 0.5
    # A completion list may take the first Return.
    for _ in 1 2 3; do
        xdotool search --onlyvisible --name '^Select Directory$' >/dev/null 2>&1 || return 0
        xdotool windowfocus --sync "$dialog" 2>/dev/null || true
        xdotool key Return
        sleep 0.8
    done
    xdotool search --onlyvisible --name '^Select Directory$' >/dev/null 2>&1 &&
        fail "the directory dialog did not take $1"
    return 0
}

# --- the first run -------------------------------------------------------------------
start_program
# The desktop ties the window to the menu entry by its class.
wm_class=$(sed -n 's/^StartupWMClass=//p' "$entry")
xdotool search --class "^$wm_class\$" | grep -qx "$window" ||
    fail "the window's class is not the menu entry's StartupWMClass $wm_class"
[ ! -e "$home/.config" ] || fail "the first start wrote into the home folder already"

# Files in Directory (inside the file group at 4, 2), then the messages folder.
click_control 4 2 6 16 133 28
choose_directory "$msgs"
sleep 1
add_item_from_first_view_line
close_with_file_exit

[ -d "$config" ] || fail "no folder $config"
[ "$(stat -c '%U %a' "$config")" = "nobody 755" ] ||
    fail "$config is $(stat -c '%U %a' "$config"), not nobody's with the umask's 755"
for f in Junkloupe.ini Junkloupe.ini_file Junkloupe.ini_int; do
    [ "$(stat -c %U "$config/$f")" = nobody ] || fail "$config/$f is missing or not the user's"
done
diff <(tr -d '\r' <"$config/Junkloupe.ini_file") <(printf '%s\n' "$msgs/a.eml" "$msgs/b.eml" "$msgs/c.eml") >/dev/null ||
    fail "the file list file does not hold the three messages"
diff <(tr -d '\r' <"$config/Junkloupe.ini_int") <(printf '%s\n' "$item") >/dev/null ||
    fail "the interesting items list file does not hold the added item"
ini=$(tr -d '\r' <"$config/Junkloupe.ini")
for expected in "Current_Directory_Edit=$msgs/" 'Selected_File_Num=0'; do
    grep -qxF "$expected" <<<"$ini" || fail "settings lack $expected"
done
diff "$work/prefix.before" <(snapshot) >&2 || fail "the installation changed (above)"

# --- the second run: the same file and item come back ------------------------------
cp "$config/Junkloupe.ini" "$work/first.ini"
cp "$config/Junkloupe.ini_file" "$work/first.ini_file"
cp "$config/Junkloupe.ini_int" "$work/first.ini_int"
start_program
close_with_file_exit
for f in ini ini_file ini_int; do
    cmp -s "$config/Junkloupe.$f" "$work/first.$f" ||
        fail "Junkloupe.$f differs after a restart: $(diff <(tr -d '\r' <"$work/first.$f") <(tr -d '\r' <"$config/Junkloupe.$f"))"
done
diff "$work/prefix.before" <(snapshot) >&2 || fail "the installation changed (above)"
if grep -Eqi 'unable to write|could not be saved|error' "$work/app.log"; then
    fail "the program reported an error: $(cat "$work/app.log")"
fi

echo "PASS: the installed copy kept the user's files in $config and wrote nothing into its prefix"
