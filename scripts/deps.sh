#!/usr/bin/env bash
# Installs the Debian packages the project needs, only those that are missing; with --package
# also those that scripts/package-test.sh needs to build and check the Debian package.
set -euo pipefail
packages=(
  g++ cmake ninja-build pkg-config
  qt6-base-dev qt6-webengine-dev libqt6opengl6-dev libgl-dev
  libvlc-dev libvlc-bin vlc-plugin-base libxcb1-dev libxcb-shm0-dev
  libcurl4-openssl-dev
  qt6-translations-l10n
  fonts-arphic-uming fonts-noto-cjk
  ffmpeg xvfb xauth xdotool
  dbus at-spi2-core python3-pyatspi qt6-gtk-platformtheme
  desktop-file-utils appstream man-db file shared-mime-info
  dbus-daemon playerctl
)
[ "${1:-}" != --package ] || packages+=(dpkg-dev lintian)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'ok installed' || missing+=("$p")
done
if ((${#missing[@]})); then
  sudo=""
  [ "$(id -u)" -eq 0 ] || sudo=sudo
  echo "installing: ${missing[*]}"
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq "${missing[@]}" >/dev/null
fi
