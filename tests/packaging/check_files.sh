#!/usr/bin/env bash
# Validates the files the package installs for the desktop with the tools the
# desktops themselves trust:
#   check_files.sh desktop FILE...   desktop-file-validate
#   check_files.sh metainfo FILE...  appstreamcli validate --no-net
#   check_files.sh man FILE...       man --warnings -l: any warning fails
# Exit status: 0 passed, 1 failed, 77 skipped (the tool is not installed).
set -euo pipefail
kind=${1:?usage: check_files.sh desktop|metainfo|man FILE...}
shift
[ $# -gt 0 ] || { echo "FAIL: no files to check" >&2; exit 1; }

need() {
    if ! command -v "$1" >/dev/null; then
        echo "SKIP: $1 is not installed (Debian package $2)"
        exit 77
    fi
}

status=0
for file in "$@"; do
    [ -f "$file" ] || { echo "FAIL: $file is missing" >&2; status=1; continue; }
    case "$kind" in
    desktop)
        need desktop-file-validate desktop-file-utils
        # It prints hints and warnings and exits 0 for some of them.
        out=$(desktop-file-validate "$file" 2>&1) || status=1
        ;;
    metainfo)
        need appstreamcli appstream
        out=$(appstreamcli validate --no-net --no-color "$file" 2>&1) || status=1
        # Success is reported on standard output; only findings matter.
        out=$(grep -v -e '^✔' -e '^Validation was successful' -e '^$' <<<"$out" || true)
        ;;
    man)
        need man man-db
        need groff groff-base
        # Warnings go to standard error; the page itself is thrown away.
        out=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -E UTF-8 -l "$file" 2>&1 >/dev/null) ||
            status=1
        ;;
    *)
        echo "unknown kind $kind" >&2
        exit 2
        ;;
    esac
    if [ -n "$out" ]; then
        echo "FAIL: $file:" >&2
        echo "$out" >&2
        status=1
    else
        echo "ok: $file"
    fi
done
exit $status
