#!/usr/bin/env bash
# Sets up the machine if needed, builds j6sim and runs the demo on a simulated PC.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup-host.sh
cmake --preset host-release >/dev/null
cmake --build --preset host-release --target j6sim
exec build/host-release/tools/j6sim/j6sim demo "$@"
