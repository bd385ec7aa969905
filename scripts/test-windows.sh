#!/usr/bin/env bash
# Builds the Windows presets (32-bit and 64-bit, mingw-w64) and runs the tests that need Wine: the
# 64-bit conformance program under wine64. Installs mingw-w64, Wine (64-bit) and Xvfb from Debian if
# they are missing; safe to run again.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup-host.sh
packages=(g++-mingw-w64-i686 g++-mingw-w64-x86-64 wine wine64 xvfb)
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
# The wine and objdump tests live in the host build; they only need it configured, not built.
cmake --preset host-debug -DJ6_WIN64_BUILD_DIR="$PWD/build/win64" >/dev/null
ctest --test-dir build/host-debug -L "wine|pe" --output-on-failure
