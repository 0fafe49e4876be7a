#!/usr/bin/env bash
# The start command on a fresh build folder: it builds the programs and what
# they install, not the test suite, installs them under the prefix, and
# starts the installed copy (here with --version, so that no window is
# needed). The installed copy keeps its files in the configuration folder.
#
# Usage: start_script_test.sh SOURCE_DIR WORK_DIR
# WORK_DIR is made afresh and removed at the end. Exit status: 0 passed,
# 1 failed, 77 skipped (the packages the build needs are missing and cannot
# be installed by this user).
set -euo pipefail
src=${1:?usage: start_script_test.sh SOURCE_DIR WORK_DIR}
work=${2:?usage: start_script_test.sh SOURCE_DIR WORK_DIR}
fail() {
    echo "FAIL: $*" >&2
    exit 1
}
if ! "$src/scripts/install-deps.sh" >/dev/null 2>&1; then
    echo "SKIP: packages the build needs are missing (scripts/install-deps.sh says which)"
    exit 77
fi
rm -rf "$work"
mkdir -p "$work/home"
trap 'rm -rf "$work"' EXIT

# A Debug build compiles fastest; which targets are built does not depend on it.
out=$(env -u DISPLAY -u WAYLAND_DISPLAY HOME="$work/home" XDG_CONFIG_HOME= PREFIX="$work/prefix" \
    BUILD_DIR="$work/build" BUILD_TYPE=Debug QT_QPA_PLATFORM=offscreen \
    "$src/scripts/start.sh" --version 2>&1) || fail "scripts/start.sh failed: $out"
version=$(sed -n 's/.*kProductVersion\[\] = "\([^"]*\)".*/\1/p' "$src/src/util/product.h")
[ "$(tail -n1 <<<"$out")" = "junkloupe $version" ] || fail "the started program said: $out"

# Nothing of the test suite, the benchmarks or the fuzz targets was built.
built_tests=$(find "$work/build" -name '*.o' -path '*/tests/*' -o -name 'test_*' -type f -perm -u+x |
    head -n5)
[ -z "$built_tests" ] || fail "the start command built tests: $built_tests"
for exe in junkloupe junkloupe-cli; do
    [ -x "$work/prefix/bin/$exe" ] || fail "$exe is not installed"
done
[ "$(cat "$work/prefix/share/junkloupe/installed-bindir")" = "$work/prefix/bin" ] ||
    fail "the install record does not name $work/prefix/bin"
help=$(HOME="$work/home" "$work/prefix/bin/junkloupe" --help)
grep -qxF "  $work/home/.config/junkloupe/" <<<"$help" ||
    fail "the installed copy does not keep its files in the configuration folder: $help"
echo "PASS: the start command built and installed the programs only, and started the installed copy"
