#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Installs the Debian packages Quorvel needs to build, test and run, skipping those
# already there. Run as root (or with sudo) on Debian 12. Extra package names given as
# arguments are installed the same way (tools/package.sh adds its checkers).
set -euo pipefail

packages=(
    build-essential cmake ninja-build pkg-config git
    qt6-base-dev qt6-base-dev-tools qt6-serialport-dev qt6-svg-dev
    libqcustomplot-dev
    libgtest-dev libgl-dev
    xvfb xauth fonts-dejavu-core tzdata clang-format
    # renders the PNG sizes of the icons at build time
    librsvg2-bin
    # MQTT publishing: the client library, and the broker the tests start
    libmosquitto-dev mosquitto openssl
    "$@"
)

missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
        missing+=("$p")
    fi
done

if [ ${#missing[@]} -eq 0 ]; then
    exit 0
fi

echo "Installing: ${missing[*]}"
sudo_cmd=()
if [ "$(id -u)" -ne 0 ]; then
    sudo_cmd=(sudo)
fi
export DEBIAN_FRONTEND=noninteractive
"${sudo_cmd[@]}" apt-get update -qq
"${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
