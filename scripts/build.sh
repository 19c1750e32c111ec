#!/usr/bin/env bash
# Configures and builds into build/ (or $BUILD_DIR): the given targets, or everything.
# A compiler warning fails the build.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${BUILD_DIR:-build}
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=${BUILD_TYPE:-RelWithDebInfo} -DZEVA_WERROR=ON \
    >/dev/null
targets=()
for t in "$@"; do targets+=(--target "$t"); done
cmake --build "$build" "${targets[@]}"
