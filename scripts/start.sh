#!/usr/bin/env bash
# Installs what is missing, builds the programs (not the test suite),
# installs the tool for the current user into ~/.local (or $PREFIX) and
# starts the installed copy. Like any installed copy it keeps its settings
# and lists in ~/.config/junkloupe/ (junkloupe --help names the folder),
# where no rebuild or clean of the project reaches them; the menu entry and
# the icon land in ~/.local/share.
set -euo pipefail
cd "$(dirname "$0")/.."
prefix=${PREFIX:-$HOME/.local}
build=${BUILD_DIR:-build}
scripts/install-deps.sh
# Only what the install below puts under the prefix: the two programs and
# the generated share files (icon sizes, manual pages, changelog).
BUILD_DIR=$build TARGETS="junkloupe junkloupe-cli junkloupe_share" scripts/build.sh
first_install=1
[ -e "$prefix/bin/junkloupe" ] && first_install=
cmake --install "$build" --prefix "$prefix" >/dev/null

# At the first install, settings and lists that a copy run from the build
# tree left there come along (copied, never moved): the installed copy takes
# over the files it finds beside it at its next start and says where it
# keeps them from then on.
if [ -n "$first_install" ]; then
    for f in Junkloupe.ini Junkloupe.ini_file Junkloupe.ini_int; do
        old=$build/bin/$f
        if [ -f "$old" ] && [ ! -e "$prefix/bin/$f" ]; then
            cp -p "$old" "$prefix/bin/$f"
            echo "Copied $old to $prefix/bin/$f"
        fi
    done
fi

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ] && [ -z "${QT_QPA_PLATFORM:-}" ]; then
    echo "No display: start the tool from a desktop session (DISPLAY or WAYLAND_DISPLAY unset)." >&2
    echo "It is installed as $prefix/bin/junkloupe." >&2
    exit 1
fi
exec "$prefix/bin/junkloupe" "$@"
