#!/usr/bin/env bash
# Installs the Debian packages Pelmora needs, and only those that are missing,
# so a second run costs a single dpkg query.
#   scripts/deps.sh build   what building and running needs
#   scripts/deps.sh test    that, plus what the tests and benchmarks use
set -euo pipefail

build_packages=(
  build-essential cmake pkg-config
  libcairo2-dev libpango1.0-dev libglib2.0-dev libgtk-3-dev libx11-dev
  libgtk-layer-shell-dev libwayland-dev plasma-wayland-protocols wayland-protocols
  fonts-urw-base35 fontconfig
  libhwy-dev libxext-dev libxss-dev
  libgtest-dev libgmock-dev libbenchmark-dev
)
test_packages=(
  xvfb xserver-xorg-core xserver-xorg-video-dummy x11-xserver-utils xauth xdotool x11-apps x11-utils imagemagick ffmpeg dpkg-dev file xscreensaver xsecurelock
  sway grim wtype foot weston mutter pipewire wireplumber gstreamer1.0-pipewire gstreamer1.0-tools gstreamer1.0-plugins-base
  lintian desktop-file-utils appstream time
  clang libclang-rt-14-dev
  g++-mingw-w64-x86-64-posix googletest wine wine64 fonts-liberation nsis librsvg2-bin zip python3
  dbus-daemon python3-dbusmock
)

packages=("${build_packages[@]}")
if [[ "${1:-build}" == test ]]; then
  packages+=("${test_packages[@]}")
fi

missing=()
for package in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q '^install ok installed$'; then
    missing+=("$package")
  fi
done
[[ ${#missing[@]} -eq 0 ]] && exit 0

echo "Installing missing packages: ${missing[*]}" >&2
sudo=()
if [[ $(id -u) -ne 0 ]]; then
  sudo=(sudo)
fi
"${sudo[@]}" apt-get -o DPkg::Lock::Timeout=600 update -qq
DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get -o DPkg::Lock::Timeout=600 install -y -qq --no-install-recommends "${missing[@]}"
