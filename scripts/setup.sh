#!/usr/bin/env bash
# Installs what the build and the tests need from Debian's packages, only the
# packages that are missing. Uses sudo only when not running as root.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config
  qt6-base-dev qt6-base-dev-tools libgl-dev qt6-charts-dev libqt6opengl6-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  xvfb xauth fonts-dejavu-core xdotool util-linux
  clang-14 libclang-rt-14-dev
  qt6-serialport-dev mbpoll python3-pymodbus python3-serial python3-serial-asyncio
  python3 dpkg-dev lintian appstream desktop-file-utils librsvg2-bin man-db
  libxml2-utils python3-junitparser
  qt6-httpserver-dev qt6-websockets-dev prometheus
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if ((${#missing[@]})); then
  echo "Installing: ${missing[*]}"
  sudo_cmd=()
  if [ "$(id -u)" -ne 0 ]; then sudo_cmd=(sudo); fi
  "${sudo_cmd[@]}" apt-get update -qq
  DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
