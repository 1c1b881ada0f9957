#!/usr/bin/env bash
# Gives a fresh application directory settings to scan with right away: the printer address on
# loopback (the built-in scanner simulator needs no network) and a destination folder the
# operator can write. An existing ParamSetting.ini is left as it is.
set -euo pipefail
APP_DIR=${1:?application directory}
INI="$APP_DIR/config/ParamSetting.ini"
[ -f "$INI" ] && exit 0
mkdir -p "$APP_DIR/config" "$HOME/Scans"
cat > "$INI" <<INI
[BASE]
save_path=$HOME/Scans

[PRINTER]
IP=127.0.0.1
INI
echo "Created $INI (printer 127.0.0.1, pages saved to $HOME/Scans)."
