#!/usr/bin/env bash
# Builds the Windows presets (32-bit and 64-bit, mingw-w64) and runs the tests of the binaries: the
# objdump checks (label "pe") and, under wine64 on a virtual display, the conformance program, the applet
# and the end-to-end runs of SETUP.EXE, INSTALLER.EXE and the Control Panel (label "wine").
# Installs mingw-w64, Wine (64-bit) and Xvfb from Debian if they are missing; safe to run again.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup-host.sh
packages=(g++-mingw-w64-i686 g++-mingw-w64-x86-64 wine wine64 xvfb mtools dosfstools xorriso genisoimage)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if ((${#missing[@]})); then
  sudo_cmd=""
  [ "$(id -u)" -ne 0 ] && sudo_cmd="sudo"
  $sudo_cmd apt-get update
  DEBIAN_FRONTEND=noninteractive $sudo_cmd apt-get install -y "${missing[@]}"
fi
jobs=${J6_JOBS:-2}
for preset in win32-i686 win64; do
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" -j "$jobs"
done
# The wine and objdump tests live in a host build, which also assembles the two installation disks the
# end-to-end runs install from: the sanitizer build when scripts/test.sh has just made it, else host-debug.
host=host-debug
[ -f build/host-asan/CMakeCache.txt ] && host=host-asan
cmake --preset "$host" >/dev/null
cmake --build --preset "$host" -j "$jobs" --target ntdisk disk95 j6sim
# The installation media from those disks and the win32-i686 binaries.
cmake --build --preset "$host" -j "$jobs" --target media
# Every binary was just built and Wine is installed: a test that would skip fails instead.
export J6_WINDOWS_REQUIRED=1
ctest --test-dir "build/$host" -L "wine|pe|media" --output-on-failure --no-tests=error
