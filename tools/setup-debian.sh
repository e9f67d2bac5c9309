#!/usr/bin/env bash
# Installs what Pellamont needs to build, run and test on Debian 12, skipping
# what is already there.
set -euo pipefail

packages=(
  cmake g++ make pkg-config clang-format
  qt6-base-dev qt6-base-dev-tools qt6-svg-dev libgl-dev
  libreoffice-writer-nogui libreoffice-draw-nogui libreoffice-dev
  fonts-liberation fonts-dejavu-core
  xvfb xauth imagemagick
  librsvg2-bin desktop-file-utils appstream dpkg-dev file groff-base
  libcups2-dev cups printer-driver-cups-pdf poppler-utils
  libqrencode-dev zbar-tools
)

missing=()
for package in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$package")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

sudo=""
if [ "$(id -u)" -ne 0 ]; then
  sudo="sudo"
fi
echo "Installing: ${missing[*]}"
$sudo apt-get update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
