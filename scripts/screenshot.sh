#!/usr/bin/env bash
# Builds the tool if needed and saves a picture of its real main window to
# docs/screenshot.png: the executable is copied into a temporary program
# folder with a small file list and a few interesting items, started under the
# offscreen platform with --screenshot, and left without saving anything.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${BUILD_DIR:-$root/build}"
out="${1:-$root/docs/screenshot.png}"
corpus="${JUNKLOUPE_CORPUS:-$root/../shared/corpus}"

if [ ! -x "$build/bin/junkloupe" ]; then
    cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release >/dev/null
    cmake --build "$build" --target junkloupe -j"$(nproc)"
fi

work="$(mktemp -d /tmp/junkloupe.XXXXXX)"
trap 'rm -rf "$work"' EXIT
cp "$build/bin/junkloupe" "$work/"
mkdir -p "$work/mail"

# A few sample messages: from the shared corpus when it is there, otherwise
# made up on the spot.
if [ -d "$corpus/spam-assassin-public" ]; then
    mapfile -t samples < <(find "$corpus/spam-assassin-public" -type f -name '0*' | sort | head -n 6 || true)
    for f in "${samples[@]}"; do cp "$f" "$work/mail/"; done
fi
if [ -z "$(ls -A "$work/mail")" ]; then
    for i in 1 2 3; do
        printf 'Return-Path: <a%s@example.com>\r\nReceived: from mx%s.example.com (mx%s.example.com [192.0.2.%s])\r\n\tby mail.example.org with SMTP id %s\r\nMessage-ID: <%s.offer@example.com>\r\nSubject: Great offer %s\r\n\r\nBuy now!\r\n' \
            "$i" "$i" "$i" "$i" "$i" "$i" "$i" >"$work/mail/m$i.eml"
    done
fi
for f in "$work"/mail/*; do printf '%s\r\n' "$f"; done >"$work/Junkloupe.ini_file"
printf 'example.com\r\nmx1.example.com\r\nSMTP\r\n' >"$work/Junkloupe.ini_int"

mkdir -p "$(dirname "$out")"
QT_QPA_PLATFORM=offscreen "$work/junkloupe" --screenshot "$out"
echo "Saved $out"
