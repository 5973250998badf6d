#!/usr/bin/env bash
# Installs Debian packages: the ones named, or with no names every package the project needs.
# Safe to run again: it only installs what is missing (and updates the package lists only then).
# Usage: scripts/deps.sh [PACKAGE...]
set -euo pipefail

packages=("$@")
if [ ${#packages[@]} -eq 0 ]; then
  packages=(
    build-essential cmake ninja-build pkg-config clang clang-format libclang-rt-14-dev
    qt6-base-dev qt6-base-dev-tools qt6-serialport-dev libgl-dev qt6-qpa-plugins
    libgtest-dev libgmock-dev googletest libbenchmark-dev
    libqt6svg6 xvfb xauth imagemagick poppler-utils python3 python3-serial
    fonts-liberation bash-completion ser2net libqt6sql6-sqlite sqlite3
  )
fi

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done

if [ ${#missing[@]} -eq 0 ]; then
  echo "deps: all packages present"
  exit 0
fi

sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
echo "deps: installing ${missing[*]}"
$sudo apt-get update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
