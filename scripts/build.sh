#!/usr/bin/env bash
# Configures and builds into build/ (or $BUILD_DIR) with the given extra CMake
# options: every target, or only those $TARGETS names (blank-separated).
set -euo pipefail
cd "$(dirname "$0")/.."
build=${BUILD_DIR:-build}
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=${BUILD_TYPE:-RelWithDebInfo} "$@" >/dev/null
read -r -a targets <<<"${TARGETS:-}"
cmake --build "$build" -j"$(nproc)" ${targets[@]+--target "${targets[@]}"}
