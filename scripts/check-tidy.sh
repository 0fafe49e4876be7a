#!/usr/bin/env bash
# Runs clang-tidy 14 with the project's .clang-tidy over every source file of
# src/ and tests/ in the compilation database of BUILD_DIR (default build/,
# configured if needed). Any finding fails.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${BUILD_DIR:-build}
tidy=$(command -v run-clang-tidy-14 || command -v run-clang-tidy || true)
[ -n "$tidy" ] || { echo "clang-tidy-14 is missing (apt-get install clang-tidy-14)" >&2; exit 2; }
if [ ! -f "$build/compile_commands.json" ]; then
    cmake -S . -B "$build" -DCMAKE_EXPORT_COMPILE_COMMANDS=ON >/dev/null
fi
# The files moc generates are made by the build; clang-tidy needs them.
cmake --build "$build" -j"$(nproc)" >/dev/null
log=$(mktemp)
trap 'rm -f "$log"' EXIT
rc=0
"$tidy" -p "$build" -j"$(nproc)" -quiet "$PWD/(src|tests)/" >"$log" 2>&1 || rc=$?
if [ "$rc" -ne 0 ] || grep -qE "(warning|error): " "$log"; then
    grep -E -A3 "(warning|error): " "$log" >&2 || cat "$log" >&2
    echo "clang-tidy found the above" >&2
    exit 1
fi
echo "tidy: no findings"
