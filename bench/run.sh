#!/usr/bin/env bash
# Builds and runs the image pipeline benchmark (it is not part of the tests). Run it on an
# otherwise idle machine; it prints the load average before and after with its summary table.
#   bench/run.sh                                  # everything, about four minutes
#   bench/run.sh --benchmark_filter='Chain|Decode'  # Google Benchmark options pass through
#   bench/run.sh documents                        # OFD, TIFF, recognition, deskew, blank pages
#   bench/run.sh textorder                        # text layer in reading order, ~2 min
#   bench/run.sh batch                            # a 300-page feeder batch per format, ~50 min
#   bench/run.sh batch --pages 30 --delays 0 --formats jpg,merged   # a shorter one
# BUILD_DIR chooses the build folder (default: build).
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD_DIR=${BUILD_DIR:-build}
# Google Benchmark is needed only here; the tests and the console do without it.
scripts/install-deps.sh libbenchmark-dev
cmake -S . -B "$BUILD_DIR" -DSCANCONSOLE_BENCHMARKS=ON >/dev/null
BENCH=bench_imaging
if [ "${1:-}" = documents ]; then
    BENCH=bench_documents
    shift
elif [ "${1:-}" = textorder ]; then
    BENCH=bench_textorder
    shift
elif [ "${1:-}" = batch ]; then
    BENCH=bench_batch
    shift
fi
cmake --build "$BUILD_DIR" -j"$(nproc)" --target "$BENCH"
exec "$BUILD_DIR/bench/$BENCH" "$@"
