#!/usr/bin/env bash
# Gives a fresh application directory settings to scan with right away:
#  - config/ParamSetting.ini: the printer address on loopback and a destination folder the
#    operator can write;
#  - ScanConsoleApp.ini: the scan program reaches the simulated network scanner (escl-scanner)
#    that ./run.sh starts on 127.0.0.1:PORT.
# Files that already exist are left as they are: an operator's own settings always win.
set -euo pipefail
APP_DIR=${1:?application directory}
PORT=${2:?simulated scanner port}

INI="$APP_DIR/config/ParamSetting.ini"
if [ ! -f "$INI" ]; then
    mkdir -p "$APP_DIR/config" "$HOME/Scans"
    cat > "$INI" <<INI
[BASE]
save_path=$HOME/Scans

[PRINTER]
IP=127.0.0.1
INI
    echo "Created $INI (printer 127.0.0.1, pages saved to $HOME/Scans)."
fi

DEVICE_INI="$APP_DIR/ScanConsoleApp.ini"
if [ ! -f "$DEVICE_INI" ]; then
    cat > "$DEVICE_INI" <<INI
; Written for the demo: the scan program reaches the simulated network scanner that ./run.sh
; starts on 127.0.0.1:$PORT. To scan from a real scanner, see docs/scanners.md ("Which
; scanner is used"): take the url line out or change it (./run.sh writes a deleted file again).
[device]
url=http://%1:$PORT/eSCL
protocol=escl
timeout_s=20
INI
    echo "Created $DEVICE_INI (scan program -> simulated scanner on 127.0.0.1:$PORT)."
fi

# The scanner list (文件 → 选择扫描仪…) of the demo: SANE's configuration for the console's
# processes, with sane-airscan's network discovery off (it would multicast onto the network) and
# the simulated scanner listed by its URL, and SANE's test devices. run.sh points
# SANE_CONFIG_DIR at it; written again each time, as the port may change.
SANE_DIR="$APP_DIR/sane.d"
mkdir -p "$SANE_DIR"
printf 'airscan\ntest\n' > "$SANE_DIR/dll.conf"
cat > "$SANE_DIR/airscan.conf" <<CONF
[options]
discovery = disable
ws-discovery = off
[devices]
"Veldrin eSCL Simulator" = http://127.0.0.1:$PORT/eSCL, eSCL
CONF
