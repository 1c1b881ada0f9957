#!/usr/bin/env bash
# Configures and builds the console into build/ (the application directory is build/bin).
# Arguments are passed to the CMake configure step (for example -DSCANCONSOLE_BENCHMARKS=OFF);
# BUILD_TARGETS names the targets to build (default: all).
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD_DIR=${BUILD_DIR:-build}
cmake -S . -B "$BUILD_DIR" -DCMAKE_BUILD_TYPE=${CMAKE_BUILD_TYPE:-RelWithDebInfo} "$@" >/dev/null
targets=()
for target in ${BUILD_TARGETS:-}; do
    targets+=(--target "$target")
done
cmake --build "$BUILD_DIR" -j"$(nproc)" "${targets[@]}"
