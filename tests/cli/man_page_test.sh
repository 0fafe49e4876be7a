#!/usr/bin/env bash
# The manual page of junkloupe-cli renders without a warning, and it and
# --help describe the same options: every "-x, --long=VALUE" head of either
# stands in the other.
#
#   tests/cli/man_page_test.sh docs/junkloupe-cli.1 JUNKLOUPE_CLI
#
# Exits 77 (skipped) where man is missing.
set -euo pipefail
page=$1
cli=$2
command -v man >/dev/null || { echo "man is not installed: skipped"; exit 77; }

warnings=$(MANWIDTH=80 man --warnings -l "$page" 2>&1 >/dev/null)
if [[ -n $warnings ]]; then
    echo "FAILED: the manual page renders with warnings:"
    echo "$warnings"
    exit 1
fi
heads() { grep -oE -- '^ +(-[A-Za-z0-9], )?--[a-z-]+(=[A-Z]+)?' | sed 's/^ *//' | sort -u; }
help_heads=$("$cli" --help | heads)
man_heads=$(MANWIDTH=80 man -l "$page" 2>/dev/null | sed -n '/^OPTIONS/,/^[A-Z]/p' | heads)
if [[ $help_heads != "$man_heads" ]]; then
    echo "FAILED: --help and the manual page describe different options:"
    diff <(echo "$help_heads") <(echo "$man_heads") || true
    exit 1
fi
echo "$(wc -l <<<"$help_heads") options in both"
echo "1 passed, 0 failed"
