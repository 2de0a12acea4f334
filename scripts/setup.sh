#!/usr/bin/env bash
# Installs, from Debian's packages, whatever the build and the tests need and is missing.
# Safe to run again: it installs nothing when everything is present.
set -euo pipefail

packages=(
  cmake ninja-build g++ clang libclang-rt-14-dev python3
  libgtest-dev libgmock-dev libbenchmark-dev libsqlite3-dev
  qt6-base-dev qt6-base-dev-tools qt6-translations-l10n libgl-dev libx11-dev libfontconfig-dev
  xvfb xdotool xclip x11-utils x11-apps imagemagick
  fonts-wqy-microhei fonts-arphic-uming fonts-arphic-gbsn00lp
  desktop-file-utils appstream dpkg-dev file git lintian
  g++-mingw-w64-x86-64-posix mingw-w64-tools wine wine64 wixl msitools
)

missing=()
for package in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$package")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
sudo_cmd=()
[ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)
export DEBIAN_FRONTEND=noninteractive
"${sudo_cmd[@]}" apt-get update -q
"${sudo_cmd[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}"
