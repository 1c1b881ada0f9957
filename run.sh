#!/usr/bin/env bash
# Installs what is missing, builds, starts the simulated network scanner on 127.0.0.1 and the
# scanning console; the scanner stops when the console ends.
set -euo pipefail
cd "$(dirname "$0")"
./scripts/install-deps.sh
# The console, its scan program and the simulated scanner; the tests are built by ./test.sh and
# the benchmarks by bench/run.sh.
BUILD_TARGETS="veldrin-scan escl-scanner" ./scripts/build.sh -DSCANCONSOLE_BENCHMARKS=OFF
# A fixed unprivileged port below the range the system hands out for outgoing connections.
SCANNER_PORT=${SCANNER_PORT:-18095}
./scripts/prepare-demo.sh build/bin "$SCANNER_PORT"

# The simulated scanner (eSCL over HTTP, loopback only). Its settings: build/bin/escl-scanner.ini
# or ESCL_SCANNER_* variables (see docs/scanners.md).
SCANNER_LOG=build/escl-scanner.log
build/bin/escl-scanner --port "$SCANNER_PORT" > "$SCANNER_LOG" 2>&1 &
SCANNER_PID=$!
stop_scanner() {
    kill "$SCANNER_PID" 2>/dev/null || true
    wait "$SCANNER_PID" 2>/dev/null || true
}
trap stop_scanner EXIT
for _ in $(seq 50); do
    grep -q "listening" "$SCANNER_LOG" && break
    kill -0 "$SCANNER_PID" 2>/dev/null || break
    sleep 0.1
done
if grep -q "listening" "$SCANNER_LOG"; then
    head -n 1 "$SCANNER_LOG"
else
    echo "The simulated scanner did not start (port $SCANNER_PORT taken?):" >&2
    cat "$SCANNER_LOG" >&2
fi

# The demo's SANE configuration (written by prepare-demo.sh): the scanner list shows the
# simulated scanner and SANE's test devices, and discovers nothing on the network.
export SANE_CONFIG_DIR="$PWD/build/bin/sane.d"

# The console logs every printer poll to Qt's debug stream; keep the terminal quiet unless the
# caller asks for it (QT_LOGGING_RULES=default.debug=true).
export QT_LOGGING_RULES=${QT_LOGGING_RULES:-default.debug=false}

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
    echo "No display found: starting the console under Xvfb (xvfb-run)."
    xvfb-run -a -s "-screen 0 1280x1024x24" build/bin/veldrin-scan
else
    build/bin/veldrin-scan
fi
