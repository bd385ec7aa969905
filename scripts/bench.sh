#!/usr/bin/env bash
# Builds j6bench in the release configuration and runs it; extra arguments go to j6bench
# (--quick for tiny sizes, --reps N for the runs per figure).
set -euo pipefail
cd "$(dirname "$0")/.."
cmake --preset host-release >/dev/null
cmake --build --preset host-release -j2 --target j6bench
echo "Machine: $(nproc) cores, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2- | sed 's/^ *//')"
build/host-release/bench/j6bench "$@"
