#!/usr/bin/env bash
# Installs what the host build and its tests need, on Debian 12. Safe to run again.
set -euo pipefail
packages=(cmake ninja-build g++ clang clang-format libgtest-dev libgmock-dev libbenchmark-dev
          nlohmann-json3-dev libcli11-dev libfmt-dev libclang-rt-14-dev
          openjdk-17-jdk-headless libinstpatch-dev pkg-config python3
          timgm6mb-soundfont opl3-soundfont fluid-soundfont-gm)
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
