#!/usr/bin/env bash
# Installs what Pellamont needs to build, run and test on Debian 12, skipping
# what is already there.
set -euo pipefail

packages=(
  cmake g++ make pkg-config clang-format clang-tidy
  qt6-base-dev qt6-base-dev-tools qt6-svg-dev libgl-dev
  libreoffice-writer-nogui libreoffice-draw-nogui libreoffice-dev
  fonts-liberation fonts-dejavu-core
  xvfb xauth x11-utils imagemagick
  librsvg2-bin desktop-file-utils appstream dpkg-dev file groff-base
  libcups2-dev cups printer-driver-cups-pdf poppler-utils
  libqrencode-dev zbar-tools libfontconfig-dev
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

# Another package manager run (an automatic update on a fresh desktop) holds
# apt's lock for minutes: wait for it, for a bounded time, rather than fail.
lock_wait=${PELLAMONT_LOCK_WAIT_SECONDS:-900}
apt_get() {
  local deadline=$((SECONDS + lock_wait)) told="" output
  while true; do
    if output=$($sudo env DEBIAN_FRONTEND=noninteractive apt-get "$@" 2>&1); then
      [ -z "$output" ] || printf '%s\n' "$output"
      return 0
    fi
    if ! grep -qiE 'could not (get|open) lock|unable to acquire the dpkg' <<<"$output"; then
      printf '%s\n' "$output" >&2
      return 1
    fi
    if [ "$SECONDS" -ge "$deadline" ]; then
      echo "Another package manager has been busy for $((lock_wait / 60)) minutes, so nothing" \
        "was installed. Let it finish (or restart the computer), then run $0 again." >&2
      return 1
    fi
    if [ -z "$told" ]; then
      echo "Another package manager is running (perhaps an automatic update)." \
        "Waiting up to $((lock_wait / 60)) minutes for it to finish..."
      told=1
    fi
    sleep "${PELLAMONT_LOCK_POLL_SECONDS:-5}"
  done
}

echo "Installing: ${missing[*]}"
apt_get update -qq
apt_get install -y -qq --no-install-recommends "${missing[@]}"
