#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test (offscreen, no display needed).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh --with-package-checks
BUILD_DIR=${BUILD_DIR:-build} scripts/build.sh "$@"
export QT_QPA_PLATFORM=${QT_QPA_PLATFORM:-offscreen}
ctest --test-dir "${BUILD_DIR:-build}" --output-on-failure -j"$(nproc)" --timeout 300
