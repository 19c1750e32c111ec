#!/usr/bin/env bash
# Installs the Debian 12 packages the panel needs, only those that are missing. Safe to run again.
# file: cpack's DEB generator runs it on every installed file to find the programs.
# ser2net, socat: the tests carry the serial line over the network with them.
# systemd (systemd-analyze), lintian: the package's test checks the unit and the .deb with them.
set -euo pipefail
packages=(g++ cmake ninja-build pkg-config qt6-base-dev qt6-serialport-dev fonts-ipafont-gothic
    dpkg-dev file desktop-file-utils ser2net socat systemd lintian "$@")
missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q '^install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0
sudo=()
[ "$(id -u)" -eq 0 ] || sudo=(sudo)
echo "Installing: ${missing[*]}"
"${sudo[@]}" apt-get update -qq
DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
