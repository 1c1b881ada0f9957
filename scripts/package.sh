#!/usr/bin/env bash
# Builds the console and makes its Debian package, veldrin-scan_<version>_<arch>.deb, in the
# build folder (or in the folder given as the first argument). Install it with
#   apt-get install ./build/veldrin-scan_2.0_amd64.deb
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD_DIR=${BUILD_DIR:-build}
OUT_DIR=$(realpath -m "${1:-$BUILD_DIR}")
./scripts/build.sh -DSCANCONSOLE_BENCHMARKS=OFF
mkdir -p "$OUT_DIR"
# dpkg-shlibdeps (dpkg-dev) computes the library dependencies from the binaries.
cpack -G DEB --config "$BUILD_DIR/CPackConfig.cmake" -B "$OUT_DIR"
rm -rf "$OUT_DIR/_CPack_Packages"
ls "$OUT_DIR"/veldrin-scan_*.deb
