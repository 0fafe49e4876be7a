#!/usr/bin/env bash
# scripts/screenshot.sh makes the README's picture from the built program:
# the window's three pages one above the other. The picture in docs/ has the
# size a fresh one has, so it shows what the window shows now.
#
# Usage: screenshot_test.sh SOURCE_DIR BUILD_DIR
set -euo pipefail
source_dir=${1:?usage: screenshot_test.sh SOURCE_DIR BUILD_DIR}
build_dir=${2:?usage: screenshot_test.sh SOURCE_DIR BUILD_DIR}
work=$(mktemp -d "${TMPDIR:-/tmp}/junkloupe-screenshot-test-XXXXXX")
trap 'rm -rf "$work"' EXIT

# Width and height of a PNG, from its header.
png_size() {
    [ "$(head -c 8 "$1" | od -An -tx1 | tr -d ' \n')" = 89504e470d0a1a0a ] || return 1
    od -An -tu1 -j16 -N8 "$1" | awk '{ print $1 * 16777216 + $2 * 65536 + $3 * 256 + $4,
                                             $5 * 16777216 + $6 * 65536 + $7 * 256 + $8 }'
}

BUILD_DIR=$build_dir JUNKLOUPE_CORPUS=${JUNKLOUPE_CORPUS_DIR:-} \
    "$source_dir/scripts/screenshot.sh" "$work/shot.png" >"$work/log" 2>&1 ||
    { cat "$work/log"; echo "FAIL: scripts/screenshot.sh failed"; exit 1; }
read -r width height < <(png_size "$work/shot.png") || { echo "FAIL: no PNG made"; exit 1; }
# Three pages of the window at its design size (815 x 543 with its frame).
if [ "$width" -lt 800 ] || [ "$width" -gt 830 ] || [ "$height" -lt $((3 * 500)) ]; then
    echo "FAIL: the picture is ${width}x$height, not three pages of the window"
    exit 1
fi
read -r kept_width kept_height < <(png_size "$source_dir/docs/screenshot.png") ||
    { echo "FAIL: docs/screenshot.png is no PNG"; exit 1; }
[ "$kept_width $kept_height" = "$width $height" ] ||
    { echo "FAIL: docs/screenshot.png is ${kept_width}x$kept_height, a fresh one ${width}x$height: run scripts/screenshot.sh"; exit 1; }
echo "PASS: the picture shows the window's three pages (${width}x$height)"
