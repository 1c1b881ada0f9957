#!/usr/bin/env bash
# Installs what is missing, builds, and starts the scanning console.
set -euo pipefail
cd "$(dirname "$0")"
./scripts/install-deps.sh
./scripts/build.sh
./scripts/prepare-demo.sh build/bin

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
    echo "No display found: starting the console under Xvfb (xvfb-run)."
    exec xvfb-run -a -s "-screen 0 1280x1024x24" build/bin/veldrin-scan
fi
exec build/bin/veldrin-scan
