#!/usr/bin/env bash
# Runs a 64-bit Windows program under wine64 in a fresh Wine prefix, from the program's own folder.
# Exit status 77 (CTest's "skipped") when wine64 or the program is missing.
#   scripts/run-under-wine.sh PROGRAM.EXE [ARGS...]
set -uo pipefail
# Where the Windows builds are part of the run (scripts/test-windows.sh), a missing piece fails instead.
skip=77
[ -n "${J6_WINDOWS_REQUIRED:-}" ] && skip=1
if [ $# -lt 1 ] || [ "$1" = "--help" ]; then
  echo "usage: $0 PROGRAM.EXE [ARGS...]" >&2
  exit 2
fi
program=$1
shift
wine=""
for candidate in /usr/lib/wine/wine64 "$(command -v wine64 2>/dev/null)"; do
  if [ -n "$candidate" ] && [ -x "$candidate" ]; then wine=$candidate; break; fi
done
if [ -z "$wine" ]; then
  echo "SKIPPED: wine64 is not installed (scripts/test-windows.sh installs it)" >&2
  exit $skip
fi
if [ ! -f "$program" ]; then
  echo "SKIPPED: $program is not built (cmake --build --preset win64, or scripts/test-windows.sh)" >&2
  exit $skip
fi
# A fresh prefix beside the program, in the build tree, removed again at the end.
prefix=$(mktemp -d "$(cd "$(dirname "$program")" && pwd)/wine-prefix.XXXXXX")
server=$(dirname "$wine")/wineserver
[ -x "$server" ] || server=$(command -v wineserver64 || command -v wineserver || true)
cleanup() {
  [ -n "$server" ] && WINEPREFIX=$prefix "$server" -k >/dev/null 2>&1
  rm -rf "$prefix"
}
trap cleanup EXIT
# No Mono/Gecko installers, and no crash debugger (its window would wait for a click that never comes).
export WINEPREFIX=$prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=;winedbg.exe=d"
cd "$(dirname "$program")"
# Windows need a display: a virtual one when none is set and Xvfb is installed.
display=()
if [ -z "${DISPLAY:-}" ] && command -v xvfb-run >/dev/null; then
  display=(xvfb-run -a -s "-screen 0 1024x768x24")
fi
"${display[@]}" "$wine" "./$(basename "$program")" "$@"
