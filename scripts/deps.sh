#!/usr/bin/env bash
# Installs the Debian packages the agent is built and tested with, when they are missing.
# --package: also what building and checking the Debian package needs.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config
  qt6-base-dev qt6-base-dev-tools qt6-serialport-dev
  zlib1g-dev libcurl4-openssl-dev libsimpleini-dev libsystemd-dev
  python3 python3-aiosmtpd util-linux systemd
  xvfb xauth
)
if [ "${1:-}" = "--package" ]; then
  packages+=(debhelper dpkg-dev fakeroot lintian)
fi
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if ((${#missing[@]})); then
  echo "Installing: ${missing[*]}"
  SUDO=""
  [ "$(id -u)" -ne 0 ] && SUDO="sudo"
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
