#!/usr/bin/env bash
# Installs the Debian 12 packages that building, running and testing need.
# Does nothing when they are all present already. --windows adds what the
# Windows build and its run under Wine need (scripts/test-windows.sh), --fuzz
# Clang with libFuzzer and the sanitizer runtimes (scripts/fuzz.sh).
set -euo pipefail

packages=(
  cmake g++ make pkg-config dpkg-dev file
  qt6-base-dev qt6-charts-dev qt6-serialport-dev libqt6opengl6-dev libgl-dev
  qt6-qpa-plugins qt6-translations-l10n fonts-dejavu-core fonts-liberation2 fonts-wine appstream
  xvfb xauth xdotool xclip x11-utils imagemagick
  lintian poppler-utils
  python3 python3-pyatspi python3-gi gir1.2-atspi-2.0 at-spi2-core dbus dbus-x11 python3-xlib
)
if [ "${1:-}" = "--windows" ]; then
  packages+=(g++-mingw-w64-x86-64-posix mingw-w64-x86-64-dev wine wine64 fonts-wine xz-utils nsis)
fi
if [ "${1:-}" = "--fuzz" ]; then
  packages+=(clang libclang-rt-14-dev)
fi

missing=()
for p in "${packages[@]}"; do
  status=$(dpkg-query -W -f='${db:Status-Status}' "$p" 2>/dev/null || true)
  [ "$status" = "installed" ] || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=""
if [ "$(id -u)" -ne 0 ]; then
  sudo="sudo"
fi
echo "Installing: ${missing[*]}"
$sudo apt-get update -q
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -q --no-install-recommends "${missing[@]}"
