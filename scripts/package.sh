#!/usr/bin/env bash
# Installs what is missing, builds a release build without the tests into
# build-package/ and makes the Debian package dist/junkloupe_<version>-1_<arch>.deb
# with cpack (its dependencies found by dpkg-shlibdeps). Install it with
#   sudo apt install ./dist/junkloupe_*.deb
set -euo pipefail
cd "$(dirname "$0")/.."
build=${BUILD_DIR:-build-package}
scripts/install-deps.sh
BUILD_DIR=$build BUILD_TYPE=Release scripts/build.sh -DJUNKLOUPE_BUILD_TESTS=OFF -DJUNKLOUPE_BUILD_BENCH=OFF
cpack -G DEB --config "$build/CPackConfig.cmake" -B "$build/cpack" >"$build/cpack.log" ||
    { cat "$build/cpack.log" >&2; exit 1; }
mkdir -p dist
for deb in "$build"/cpack/*.deb; do
    cp "$deb" dist/
    echo "Built dist/$(basename "$deb") ($(stat -c %s "$deb") bytes)"
    dpkg-deb -f "$deb" Depends | sed 's/^/Depends: /'
done
