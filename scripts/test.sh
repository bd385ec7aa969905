#!/usr/bin/env bash
# Sets up the machine if needed, then builds and runs every test under AddressSanitizer and
# UndefinedBehaviorSanitizer, then the fuzz smoke run (scripts/fuzz-smoke.sh: every libFuzzer target
# for a fixed number of executions), then the Windows builds and their tests (scripts/test-windows.sh).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup-host.sh
cmake --preset host-asan
cmake --build --preset host-asan
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
ctest --preset host-asan
# The fuzz targets, built with clang and libFuzzer (installed by setup-host.sh).
scripts/fuzz-smoke.sh
# Then the Windows builds, their objdump checks and the runs under Wine.
scripts/test-windows.sh
