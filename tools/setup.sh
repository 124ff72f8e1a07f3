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
  gstreamer1.0-alsa
  libavformat-dev libavcodec-dev libavutil-dev libswscale-dev ffmpeg
  dosfstools xdg-utils
  fonts-liberation fonts-noto-cjk
  libjs-leaflet
  xvfb xauth imagemagick x11-utils xdotool
  libgtest-dev libgmock-dev googletest libbenchmark-dev
  poppler-utils
)

# How long to wait for another package manager (an unattended upgrade right after boot, a
# software centre, another apt-get) to let go of the package lock before giving up.
LOCK_WAIT_SECONDS=600

missing=()
for p in "${PACKAGES[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done

if [ ${#missing[@]} -gt 0 ]; then
  SUDO=()
  if [ "$(id -u)" -ne 0 ]; then
    if ! command -v sudo >/dev/null 2>&1; then
      echo "tools/setup.sh: installing ${missing[*]} needs root." >&2
      echo "sudo is not installed here: run this script as root (for example: su -c 'bash tools/setup.sh')," >&2
      echo "or install sudo and give your account the right to use it." >&2
      exit 1
    fi
    echo "Installing ${#missing[@]} packages with sudo (it may ask for your password)."
    SUDO=(sudo)
  fi
  apt_get() {
    # apt-get waits for the dpkg lock itself (DPkg::Lock::Timeout) but gives up at once on the
    # lock of the package lists, so that one is waited for here, within the same bound.
    local deadline=$((SECONDS + LOCK_WAIT_SECONDS)) log rc holder
    log=$(mktemp)
    while :; do
      rc=0
      "${SUDO[@]}" env DEBIAN_FRONTEND=noninteractive \
        apt-get -o "DPkg::Lock::Timeout=$LOCK_WAIT_SECONDS" "$@" 2>&1 | tee "$log" || rc=${PIPESTATUS[0]}
      if [ "$rc" -eq 0 ] || ! grep -q 'Could not get lock' "$log" || [ "$SECONDS" -ge "$deadline" ]; then
        rm -f "$log"
        return "$rc"
      fi
      holder=$(grep -o 'process [0-9]* ([^)]*)' "$log" | head -n 1 || true)
      echo "The package lock is held by ${holder:-another program}, another package manager; waiting for it" \
           "to finish ($((deadline - SECONDS)) s left)."
      sleep 5
    done
  }
  echo "If another package manager holds the package lock (often an automatic update right after"
  echo "start-up), this waits for it up to $((LOCK_WAIT_SECONDS / 60)) minutes."
  apt_get update
  apt_get install -y --no-install-recommends "${missing[@]}"
fi
