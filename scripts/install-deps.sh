#!/usr/bin/env bash
# Installs the Debian packages the build, the program and the tests need.
# As root it runs apt-get; otherwise it prints the apt-get line to run.
set -euo pipefail

packages=(
  cmake ninja-build g++
  qt6-base-dev qt6-serialport-dev qt6-translations-l10n libxcb1-dev
  pkg-config libqrencode-dev
  fonts-arphic-uming fonts-arphic-ukai fonts-wqy-zenhei fonts-dejavu-core
  dpkg-dev file librsvg2-bin desktop-file-utils appstream shared-mime-info
  chromium ser2net
)
if [ "${VELMORA_WITH_X:-0}" = 1 ]; then
  # A display for trying the window, and the tools scripts/screenshots.sh drives it with.
  packages+=(xvfb xauth xdotool imagemagick)
fi

missing=()
for p in "${packages[@]}"; do
  status=$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null || true)
  [ "$status" = "install ok installed" ] || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

line="apt-get install -y --no-install-recommends ${missing[*]}"
if [ "$(id -u)" -ne 0 ]; then
  echo "Missing packages. Run as root:" >&2
  echo "  apt-get update && $line" >&2
  exit 1
fi
export DEBIAN_FRONTEND=noninteractive
apt-get update -qq
$line
