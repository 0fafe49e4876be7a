#!/usr/bin/env bash
# Installs what is missing, builds, installs the tool for the current user
# into ~/.local (or $PREFIX) and starts the installed copy. Its settings and
# lists are kept beside it in ~/.local/bin/ (junkloupe --help names the
# folder), where no rebuild or clean of the project reaches them; the menu
# entry and the icon land in ~/.local/share.
set -euo pipefail
cd "$(dirname "$0")/.."
prefix=${PREFIX:-$HOME/.local}
scripts/install-deps.sh
scripts/build.sh
cmake --install "${BUILD_DIR:-build}" --prefix "$prefix" >/dev/null

# Lists and settings an earlier start left in the build tree come along once
# (copied, never moved), unless the installed copy has its own already.
for f in Junkloupe.ini Junkloupe.ini_file Junkloupe.ini_int; do
    old=${BUILD_DIR:-build}/bin/$f
    if [ -f "$old" ] && [ ! -e "$prefix/bin/$f" ]; then
        cp -p "$old" "$prefix/bin/$f"
        echo "Copied $old to $prefix/bin/$f"
    fi
done

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ] && [ -z "${QT_QPA_PLATFORM:-}" ]; then
    echo "No display: start the tool from a desktop session (DISPLAY or WAYLAND_DISPLAY unset)." >&2
    echo "It is installed as $prefix/bin/junkloupe." >&2
    exit 1
fi
exec "$prefix/bin/junkloupe" "$@"
