#!/usr/bin/env bash
# Installs every Debian package the viewer needs to build, run and test.
# Safe to run again: apt-get skips what is already there.
set -euo pipefail

PACKAGES=(
  build-essential cmake ninja-build pkg-config git
  qt6-base-dev qt6-base-dev-tools qt6-webengine-dev qt6-webengine-dev-tools
  libqt6printsupport6 libqt6opengl6-dev libgl-dev
  libgstreamer1.0-dev libgstreamer-plugins-base1.0-dev
  gstreamer1.0-tools gstreamer1.0-plugins-base gstreamer1.0-plugins-good gstreamer1.0-libav
  libavformat-dev libavcodec-dev libavutil-dev libswscale-dev ffmpeg
  dosfstools xdg-utils
  fonts-liberation fonts-noto-cjk
  libjs-leaflet
  xvfb xauth imagemagick x11-utils xdotool
  libgtest-dev libgmock-dev googletest libbenchmark-dev
  poppler-utils
)

missing=()
for p in "${PACKAGES[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done

if [ ${#missing[@]} -gt 0 ]; then
  SUDO=""
  [ "$(id -u)" -eq 0 ] || SUDO="sudo"
  export DEBIAN_FRONTEND=noninteractive
  $SUDO apt-get update
  $SUDO apt-get install -y --no-install-recommends "${missing[@]}"
fi
