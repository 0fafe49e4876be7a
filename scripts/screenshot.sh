#!/usr/bin/env bash
# Makes the README's picture, docs/screenshot.png, from the real program: its
# three pages one above the other, as a user sees them after the first start
# over a few messages and items (the statistics counted). The executable is
# copied into a temporary program folder with a file list and an items list,
# started with --screenshot on the offscreen platform (a screen of 1920x1080,
# so that the window has its design size) and leaves nothing behind.
#
# Usage: scripts/screenshot.sh [OUT.png]    (BUILD_DIR=... for another build)
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${BUILD_DIR:-$root/build}"
out="${1:-$root/docs/screenshot.png}"
corpus="${JUNKLOUPE_CORPUS:-$root/../shared/corpus}"

if [ ! -x "$build/bin/junkloupe" ]; then
    cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release >/dev/null
    cmake --build "$build" --target junkloupe -j"$(nproc)"
fi

work="$(mktemp -d /tmp/junkloupe-screenshot.XXXXXX)"
trap 'rm -rf "$work"' EXIT
cp "$build/bin/junkloupe" "$work/"
mkdir -p "$work/mail"

# A few sample messages: from the shared corpus when it is there, otherwise
# made up on the spot.
for source in spam-assassin-public nazario-phishing0 spam-archive-2023-2025; do
    [ -d "$corpus/$source" ] || continue
    mapfile -t samples < <(find "$corpus/$source" -type f -name '[0m]*' | sort | head -n 4 || true)
    for f in "${samples[@]}"; do cp "$f" "$work/mail/"; done
done
if [ -z "$(ls -A "$work/mail")" ]; then
    for i in 1 2 3 4 5 6; do
        printf 'Return-Path: <a%s@example.com>\r\nReceived: from mx%s.example.com (mx%s.example.com [192.0.2.%s])\r\n\tby mail.example.org with SMTP id %s\r\nMessage-ID: <%s.offer@example.com>\r\nSubject: Great offer %s\r\n\r\nBuy now!\r\n' \
            "$i" "$i" "$((i % 2))" "$i" "$i" "$i" "$i" >"$work/mail/m$i.eml"
    done
fi
for f in "$work"/mail/*; do printf '%s\r\n' "$f"; done >"$work/Junkloupe.ini_file"
printf '%s\r\n' example.com Exim ESMTP localhost mx1.example.com spamassassin.taint.org >"$work/Junkloupe.ini_int"

printf '{"screens": [{"name": "Screen", "x": 0, "y": 0, "width": 1920, "height": 1080, "logicalDpi": 96}]}\n' \
    >"$work/screen.json"
mkdir -p "$(dirname "$out")"
(
    export HOME="$work" XDG_CONFIG_HOME="$work/.config" XDG_RUNTIME_DIR="$work"
    chmod 700 "$work"
    QT_QPA_PLATFORM="offscreen:configfile=$work/screen.json" "$work/junkloupe" --screenshot "$out"
)
echo "Saved $out"
