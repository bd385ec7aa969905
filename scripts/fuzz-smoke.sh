#!/usr/bin/env bash
# Builds the libFuzzer targets with clang (ASan + UBSan) and runs each for its fixed number of
# executions with a fixed seed: the CTest label `fuzz`. The same tree gives the same executions and the
# same result on every run and every machine speed. Longer runs: see "Robustness" in the README.
set -euo pipefail
cd "$(dirname "$0")/.."
cmake --preset fuzz
cmake --build --preset fuzz -j2 --target j6_fuzz_all
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
# A target that crashed could not remove its simulated PC: drop those whose process has ended.
for dir in /dev/shm/j6-fuzz-* /tmp/j6-fuzz-*; do
  [ -d "$dir" ] || continue
  pid=$(basename "$dir" | sed -E 's/^j6-fuzz-0*([0-9]+).*/\1/')
  [[ "$pid" =~ ^[0-9]+$ ]] && [ ! -d "/proc/$pid" ] && rm -rf "$dir"
done
status=0
ctest --preset fuzz || status=$?
# Executions and final coverage per target, from this run's log.
grep -ho "fuzz smoke run: .*" build/fuzz/Testing/Temporary/LastTest.log | sort || true
exit "$status"
