#!/usr/bin/env bash
# Installs the Debian packages the console needs to build, run and test, plus any packages named
# on the command line (bench/run.sh adds libbenchmark-dev that way).
# Only missing packages are installed, so running it again is cheap.
set -euo pipefail

# Only what the build, the console and the tests use; --no-install-recommends keeps it lean.
PACKAGES=(
    build-essential cmake pkg-config
    # Qt: widgets, print support and Qt Test (qtbase5-dev), lrelease/lconvert and their CMake
    # package, Qt's own Chinese texts, the TIFF reader the tests read pages back with.
    qtbase5-dev qttools5-dev qttools5-dev-tools qttranslations5-l10n
    qt5-image-formats-plugins
    # OpenCV: only the two modules the corrections use.
    libopencv-core-dev libopencv-imgproc-dev
    libzip-dev libtiff-dev
    libqpdf-dev qpdf libzstd-dev
    libtesseract-dev tesseract-ocr-chi-sim tesseract-ocr-eng
    poppler-utils
    fonts-wqy-microhei
    iputils-ping xvfb xauth
    libsane-dev libsane1 sane-airscan sane-utils libcpp-httplib-dev libjpeg-dev
    # The work log's records also go to the system journal (sd_journal_send).
    libsystemd-dev
    # The package test: builds the .deb (dpkg-dev comes with build-essential; CPack needs
    # `file` to find the binaries for dpkg-shlibdeps) and checks its desktop entry and
    # AppStream file.
    file desktop-file-utils appstream
)
PACKAGES+=("$@")

missing=()
for pkg in "${PACKAGES[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q 'install ok installed'; then
        missing+=("$pkg")
    fi
done

if [ ${#missing[@]} -eq 0 ]; then
    exit 0
fi

echo "Installing missing packages: ${missing[*]}"
SUDO=()
if [ "$(id -u)" -ne 0 ]; then
    if command -v sudo >/dev/null 2>&1; then
        SUDO=(sudo)
    else
        echo "Need root (or sudo) to install: ${missing[*]}" >&2
        exit 1
    fi
fi
export DEBIAN_FRONTEND=noninteractive
"${SUDO[@]}" apt-get update
"${SUDO[@]}" apt-get install -y --no-install-recommends "${missing[@]}"
