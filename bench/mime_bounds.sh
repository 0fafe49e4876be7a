#!/usr/bin/env bash
# The bounds of the decoded view: messages of 10,000 parts, of parts nested
# 1,000 deep and of one base64 part of 100 MB (text, an attachment between
# two text parts, text without a line break) must be shown decoded in at most
# 5 s and 1 GB; hostile ones (nesting 100,000 deep, 2,000,000 header fields,
# a 300 MB body whose boundary never comes, a 300 MB header line) must end
# in bounded time and memory too. Each is shown by `junkloupe-cli view -d -f2`
# (the window's reader, decoder and view text) beside the raw view of the
# same file, with the wall time and the peak memory (GNU time).
#
#   bench/mime_bounds.sh [BUILD_DIR]     (default: build-rel beside this script's parent)
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build-rel}
cli=$build/bin/junkloupe-cli
[[ -x $cli ]] || { echo "no $cli: build the command-line program first" >&2; exit 2; }
[[ -x /usr/bin/time ]] || { echo "GNU time is missing (apt-get install time)" >&2; exit 2; }

work=$(mktemp -d /tmp/junkloupe-mime-bounds.XXXXXX)
trap 'rm -rf "$work"' EXIT

python3 - "$work" <<'PY'
import base64, os, sys
work = sys.argv[1]
def write(name, chunks):
    with open(os.path.join(work, name), "wb") as f:
        for chunk in chunks:
            f.write(chunk)
head = b"Subject: bounds\r\nMIME-Version: 1.0\r\n"
def parts(n):
    yield head + b"Content-Type: multipart/mixed; boundary=b\r\n\r\n"
    for i in range(n):
        yield b"--b\r\nContent-Type: text/html\r\nContent-Transfer-Encoding: base64\r\n\r\n"
        yield base64.encodebytes(b"<a href='http://h%d.example/'>x</a>\n" % i).replace(b"\n", b"\r\n")
    yield b"--b--\r\n"
def nested(n):
    yield head + b"Content-Type: multipart/mixed; boundary=b0\r\n\r\n"
    for i in range(1, n + 1):
        yield b"--b%d\r\nContent-Type: multipart/mixed; boundary=b%d\r\n\r\n" % (i - 1, i)
    yield b"--b%d\r\nContent-Transfer-Encoding: base64\r\n\r\naGk=\r\n" % n
    for i in range(n, -1, -1):
        yield b"--b%d--\r\n" % i
def big_base64(megabytes):
    yield head + b"Content-Type: text/plain\r\nContent-Transfer-Encoding: base64\r\n\r\n"
    line = base64.encodebytes(b"a line of text that goes on, http://x.example/\n" * 57).replace(b"\n", b"\r\n")
    for _ in range(megabytes * 1024 * 1024 // len(line)):
        yield line
def big_attachment(megabytes):
    # A 100 MB base64 attachment between two text parts: named in one line
    # with its decoded size, the text after it decoded.
    yield head + b"Content-Type: multipart/mixed; boundary=b\r\n\r\n--b\r\n\r\nbefore\r\n"
    yield b"--b\r\nContent-Type: application/octet-stream; name=big.bin\r\n"
    yield b"Content-Transfer-Encoding: base64\r\n\r\n"
    line = base64.encodebytes(bytes(range(256)) * 12).replace(b"\n", b"\r\n")
    for _ in range(megabytes * 1024 * 1024 // len(line)):
        yield line
    yield b"--b\r\nContent-Transfer-Encoding: base64\r\n\r\nYWZ0ZXI=\r\n--b--\r\n"
def one_line_base64(megabytes):
    # 100 MB of base64 whose text has no line break: one line, cut in the view.
    yield head + b"Content-Transfer-Encoding: base64\r\n\r\n"
    line = base64.encodebytes(b"words without a line end, " * 57).replace(b"\n", b"\r\n")
    for _ in range(megabytes * 1024 * 1024 // len(line)):
        yield line
def fields(n):
    yield head
    for i in range(n):
        yield b"X-F: v\r\n"
    yield b"\r\nbody\r\n"
def no_boundary(megabytes):
    yield head + b"Content-Type: multipart/mixed; boundary=never\r\n\r\n"
    block = (b"x" * 76 + b"\r\n") * 13000
    for _ in range(megabytes * 1024 * 1024 // len(block)):
        yield block
def long_header(megabytes):
    yield b"Subject: "
    for _ in range(megabytes):
        yield b"y" * (1024 * 1024)
    yield b"\r\n\r\nbody\r\n"
write("10000-parts.eml", parts(10000))
write("nested-1000.eml", nested(1000))
write("base64-100MB.eml", big_base64(100))
write("attachment-100MB.eml", big_attachment(100))
write("one-line-100MB.eml", one_line_base64(100))
write("nested-100000.eml", nested(100000))
write("fields-2000000.eml", fields(2000000))
write("no-boundary-300MB.eml", no_boundary(300))
write("header-line-300MB.eml", long_header(300))
PY

show() { # prints "seconds megabytes" of one view
    /usr/bin/time -f "%e %M" "$cli" view "$@" 2>&1 >/dev/null | tail -1 |
        awk '{ printf "%6.2f s %7.0f MB", $1, $2 / 1024 }'
}
echo "machine load: $(cut -d' ' -f1-3 /proc/loadavg) on $(nproc) processors"
printf '%-24s %10s  %-22s %-22s\n' message bytes "view -d -f2" "view -f2 (raw)"
for name in 10000-parts nested-1000 base64-100MB attachment-100MB one-line-100MB \
    nested-100000 fields-2000000 \
    no-boundary-300MB header-line-300MB; do
    file=$work/$name.eml
    printf '%-24s %10s  %-22s %-22s\n' "$name" "$(stat -c %s "$file")" \
        "$(show -d -f2 "$file")" "$(show -f2 "$file")"
done
