#!/usr/bin/env bash
# Fails when a C++ file of the project is not formatted as .clang-format says
# (clang-format 14). With --fix, formats them instead.
set -euo pipefail
cd "$(dirname "$0")/.."
format=$(command -v clang-format-14 || command -v clang-format || true)
[ -n "$format" ] || { echo "clang-format-14 is missing (apt-get install clang-format-14)" >&2; exit 2; }
mapfile -t files < <(git ls-files '*.cpp' '*.h')
if [ "${1:-}" = "--fix" ]; then
    "$format" -i "${files[@]}"
    exit 0
fi
if ! "$format" --dry-run --Werror "${files[@]}"; then
    echo "Not formatted (see above); scripts/check-format.sh --fix formats them." >&2
    exit 1
fi
echo "format: ${#files[@]} files as .clang-format says"
