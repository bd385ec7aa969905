#!/usr/bin/env bash
# Builds the libFuzzer targets with clang (ASan + UBSan) and runs each for a bounded budget: the CTest
# label `fuzz`. Longer runs: see "Robustness" in the README.
set -euo pipefail
cd "$(dirname "$0")/.."
cmake --preset fuzz
cmake --build --preset fuzz -j2 --target j6_fuzz_all
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
ctest --preset fuzz
