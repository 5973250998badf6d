#!/usr/bin/env bash
# The Windows build check: cross-compiles the Qt-free core (config, settings) and its tests
# with mingw-w64 and runs the tests under wine, in a wine prefix of their own, so the registry
# backend of the settings store meets a real (wine's) registry. No display is needed.
# Usage: scripts/windows-check.sh [--fresh]   (--fresh starts from a new wine prefix)
set -euo pipefail
cd "$(dirname "$0")/.."

fresh=0
[ "${1:-}" = "--fresh" ] && fresh=1

started=$SECONDS
phase_start=$SECONDS
phase() {
  echo "windows-check: $1 took $((SECONDS - phase_start)) s"
  phase_start=$SECONDS
}

# The posix thread model compilers: std::thread and std::mutex need it under mingw-w64.
packages=(cmake ninja-build g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64 googletest
  wine wine64)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  sudo=""
  [ "$(id -u)" -eq 0 ] || sudo="sudo"
  echo "windows-check: installing ${missing[*]}"
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
phase "package check and install"

wine64=$(command -v wine64 || true)
for candidate in /usr/lib/wine/wine64 /usr/lib64/wine/wine64 /opt/wine-stable/bin/wine64; do
  [ -z "$wine64" ] && [ -x "$candidate" ] && wine64=$candidate
done
[ -n "$wine64" ] || { echo "windows-check: wine64 not found" >&2; exit 1; }

# The prefix and settings of the preset's emulator (cmake/mingw-w64-x86_64.cmake).
export WINEPREFIX="$PWD/build/windows-core/wine" WINEARCH=win64 WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml=" DISPLAY=
[ "$fresh" -eq 1 ] && rm -rf "$WINEPREFIX"
mkdir -p "$(dirname "$WINEPREFIX")"
# Made once before the tests, so that parallel test programs do not race to create it.
env LC_ALL=en_US.UTF-8 "$wine64" wineboot -i
wineserver -w
phase "wine prefix"

cmake --preset windows-core
cmake --build --preset windows-core -j "$(nproc)"
phase "build"

ctest --preset windows-core -j "$(nproc)"
phase "tests under wine"
wineserver -w
echo "windows-check: done in $((SECONDS - started)) s"
