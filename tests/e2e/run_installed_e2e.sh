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
# Then root runs the installed copy, whose folder root may write: its files
# go to root's own configuration folder too, and files an earlier version
# left beside the program are taken over once, with a notice at start, and
# never written. Last, "nobody" runs a copy of the program from a read-only
# folder that holds root's three files: the window starts from them, says
# at start where the files are kept instead, and leaves the folder alone.
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
runner=as_user
start_program() {
    (cd / && "$runner" "${command[@]}" >>"$work/app.log" 2>&1) &
    app_pid=$!
    find_main_window
    read_window_size
    xdotool windowfocus --sync "$window"
    sleep 0.5
}

# The windows titled as the program's: the main window and any box over it.
titled() { xdotool search --onlyvisible --name '^Junkloupe v1\.0f$' 2>/dev/null || true; }
titled_count_is() { [ "$(titled | wc -l)" "$1" "$2" ]; } # test operator, count
# The largest ($1 = tail) or smallest ($1 = head) of them.
titled_by_size() {
    for w in $(titled); do
        xdotool getwindowgeometry "$w" | awk -v w="$w" '/Geometry/ { split($2, s, "x"); print s[1] * s[2], w }'
    done | sort -n | "$1" -n1 | cut -d' ' -f2
}
# Starts the program when a notice is due at start: a box over the window
# that names the folder $1 where the files are kept; Return closes it.
start_program_with_notice() { # folder
    (cd / && "$runner" "${command[@]}" >>"$work/app.log" 2>&1) &
    app_pid=$!
    wait_for 30 titled_count_is -ge 2 || fail "no notice over the window at start"
    window=$(titled_by_size tail)
    grep -qxF "$1" "$work/app.log" ||
        fail "the notice does not name $1: $(cat "$work/app.log")"
    xdotool windowfocus --sync "$(titled_by_size head)"
    xdotool key Return
    wait_for 10 titled_count_is -eq 1 || fail "the notice did not close"
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

# --- root: the installed copy keeps root's files in root's folder too -------------
roothome=$work/root-home
rootconfig=$roothome/.config/junkloupe
mkdir -p "$roothome" "$work/root-runtime"
chmod 700 "$work/root-runtime"
as_root() {
    local keep=()
    for v in ASAN_OPTIONS UBSAN_OPTIONS; do
        [ -n "${!v:-}" ] && keep+=("$v=${!v}")
    done
    env -i HOME="$roothome" PATH="$prefix/bin:/usr/bin:/bin" DISPLAY="$DISPLAY" \
        XDG_RUNTIME_DIR="$work/root-runtime" QT_QPA_PLATFORM=xcb LANG=C.UTF-8 "${keep[@]}" "$@"
}
help=$(as_root junkloupe --help) || fail "junkloupe --help failed for root"
grep -qxF "  $rootconfig/" <<<"$help" || fail "--help does not name $rootconfig/ for root: $help"

# Files an earlier version left beside the installed program, as root's.
printf '%s\r\n' "$item" >"$prefix/bin/Junkloupe.ini_int"
printf '[Junkloupe]\r\nCurrent_Directory_Edit=%s/\r\n' "$msgs" >"$prefix/bin/Junkloupe.ini"
snapshot >"$work/prefix.planted"
runner=as_root
start_program_with_notice "$rootconfig/"
close_with_file_exit
tr -d '\r' <"$rootconfig/Junkloupe.ini_int" | grep -qxF "$item" ||
    fail "root's items were not taken over into $rootconfig"
tr -d '\r' <"$rootconfig/Junkloupe.ini" | grep -qxF "Current_Directory_Edit=$msgs/" ||
    fail "root's settings were not taken over into $rootconfig"
[ -f "$rootconfig/Junkloupe.ini_file" ] || fail "root's file list was not written to $rootconfig"
diff "$work/prefix.planted" <(snapshot) >&2 || fail "root's run changed the installation (above)"
# Said once: the next start has no notice.
start_program
sleep 1
titled_count_is -eq 1 || fail "the notice came again at the second start"
close_with_file_exit
diff "$work/prefix.planted" <(snapshot) >&2 || fail "root's second run changed the installation"

# --- nobody: a read-only folder holding root's files beside a copy ----------------
stick=$work/stick
mkdir -m 755 "$stick"
cp "$prefix/bin/junkloupe" "$stick/"
printf '%s\r\n' "$msgs/b.eml" "$msgs/c.eml" >"$stick/Junkloupe.ini_file"
printf 'stick-item.example.test\r\n' >"$stick/Junkloupe.ini_int"
printf '[Junkloupe]\r\nSelected_File_Num=1\r\n' >"$stick/Junkloupe.ini"
chmod 644 "$stick"/Junkloupe.*
stick_before=$(cd "$stick" && find . -printf '%p %s %m %U %T@\n' | sort)
home=$work/home2
config=$home/.config/junkloupe
mkdir -p "$home"
chown "$user_id:$user_id" "$home"
command=("$stick/junkloupe")
runner=as_user
start_program_with_notice "$config/"
close_with_file_exit
diff <(tr -d '\r' <"$config/Junkloupe.ini_file") <(printf '%s\n' "$msgs/b.eml" "$msgs/c.eml") >/dev/null ||
    fail "the file list did not come from the read-only folder"
tr -d '\r' <"$config/Junkloupe.ini_int" | grep -qxF stick-item.example.test ||
    fail "the items did not come from the read-only folder"
tr -d '\r' <"$config/Junkloupe.ini" | grep -qxF 'Selected_File_Num=1' ||
    fail "the settings did not come from the read-only folder"
[ "$stick_before" = "$(cd "$stick" && find . -printf '%p %s %m %U %T@\n' | sort)" ] ||
    fail "the read-only folder changed"
if grep -Eqi 'unable to write|could not be saved|error' "$work/app.log"; then
    fail "the program reported an error: $(cat "$work/app.log")"
fi

echo "PASS: the installed copy kept each user's files in their own folder, root's included, and wrote nothing into its prefix; a read-only folder's files were taken over once"
