#!/usr/bin/env bash
# Installs what is missing, builds, and starts the scanning console.
set -euo pipefail
cd "$(dirname "$0")"
./scripts/install-deps.sh
# The benchmarks are built by bench/run.sh only.
./scripts/build.sh -DSCANCONSOLE_BENCHMARKS=OFF
./scripts/prepare-demo.sh build/bin

# The console logs every printer poll to Qt's debug stream; keep the terminal quiet unless the
# caller asks for it (QT_LOGGING_RULES=default.debug=true).
export QT_LOGGING_RULES=${QT_LOGGING_RULES:-default.debug=false}

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
    echo "No display found: starting the console under Xvfb (xvfb-run)."
    exec xvfb-run -a -s "-screen 0 1280x1024x24" build/bin/veldrin-scan
fi
exec build/bin/veldrin-scan
