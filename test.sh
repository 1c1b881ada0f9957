#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test through CTest.
set -euo pipefail
cd "$(dirname "$0")"
./scripts/install-deps.sh
# The benchmarks are built by bench/run.sh only.
./scripts/build.sh -DSCANCONSOLE_BENCHMARKS=OFF
cd build
ctest --output-on-failure -j"$(nproc)" "$@"
