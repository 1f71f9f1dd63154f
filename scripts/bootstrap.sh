#!/usr/bin/env bash
# Installs every Debian package Tolvane needs to build, test and run.
# Idempotent: when all packages are present it does nothing.
set -euo pipefail

PACKAGES=(
  build-essential cmake ninja-build pkg-config git
  libfftw3-dev libeigen3-dev libmatio-dev zlib1g-dev
  nlohmann-json3-dev libcli11-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  qt6-base-dev qt6-tools-dev libqcustomplot-dev
  libqt6opengl6-dev qt6-svg-dev
  python3-scipy python3-numpy
  xvfb xauth openbox
  inspectrum x11-utils
)

missing=()
for p in "${PACKAGES[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
echo "bootstrap: installing ${missing[*]}" >&2
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq >/dev/null
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
