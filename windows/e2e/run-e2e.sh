#!/usr/bin/env bash
# Runs end-to-end scenarios of e2e_driver.exe under wine64, one after another in one fresh Wine prefix
# and one virtual display:
#   run-e2e.sh WORK_DIR DRIVER.EXE SCENARIO:DISK:PROGRAM...
# Each scenario gets a fresh copy of DISK ("-" for none) in WORK_DIR with PROGRAM (and, for the
# installer, the DETECT32.DLL beside it) put in, and e2e_driver.exe is told where. The prefix is
# WORK_DIR/prefix, the screenshots go to WORK_DIR/shots. Exit status 77 (CTest's "skipped") when wine64,
# Xvfb or a piece is missing, unless J6_WINDOWS_REQUIRED is set.
set -uo pipefail
skip=77
[ -n "${J6_WINDOWS_REQUIRED:-}" ] && skip=1
if [ $# -lt 3 ] || [ "$1" = "--help" ]; then
  echo "usage: $0 WORK_DIR DRIVER.EXE SCENARIO:DISK:PROGRAM..." >&2
  exit 2
fi
work=$1
driver=$2
shift 2
wine=/usr/lib/wine/wine64
[ -x "$wine" ] || wine=$(command -v wine64 || true)
server=$(dirname "${wine:-/}")/wineserver
[ -x "$server" ] || server=$(command -v wineserver || true)
missing=""
[ -n "$wine" ] && [ -x "$wine" ] || missing="wine64"
[ -f "$driver" ] || missing="$driver"
for scenario in "$@"; do
  IFS=: read -r _ disk program <<<"$scenario"
  [ "$disk" = "-" ] || [ -d "$disk" ] || missing="$disk"
  [ -f "$program" ] || missing="$program"
done
if [ -z "${DISPLAY:-}" ] && ! command -v xvfb-run >/dev/null; then missing="xvfb-run"; fi
if [ -n "$missing" ]; then
  echo "SKIPPED: $missing is missing (scripts/test-windows.sh builds and installs everything)" >&2
  exit $skip
fi

# One virtual display for every scenario of the run.
if [ -z "${DISPLAY:-}" ]; then
  exec xvfb-run -a -s "-screen 0 1024x768x24" "$0" "$work" "$driver" "$@"
fi

windows_path() { printf 'Z:%s' "$(realpath "$1" | tr / '\\')"; }

rm -rf "$work"
mkdir -p "$work/shots"
export WINEPREFIX=$work/prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=;winedbg.exe=d"
cleanup() { [ -n "$server" ] && "$server" -k >/dev/null 2>&1; }
trap cleanup EXIT
# The first start of a prefix sets it up (about 10 s); done once, before the clock of any scenario runs.
timeout 180 "$wine" wineboot -i >/dev/null 2>&1
failures=0
for scenario in "$@"; do
  IFS=: read -r name disk program <<<"$scenario"
  folder=$work/$name
  mkdir -p "$folder"
  [ "$disk" = "-" ] || cp -r "$disk/." "$folder/"
  cp "$program" "$folder/"
  case "$(basename "$program")" in
    INSTALLER.EXE) cp "$(dirname "$program")/DETECT32.DLL" "$folder/" ;;
  esac
  if [ "$disk" = "-" ]; then target=$(windows_path "$folder/$(basename "$program")"); else target=$(windows_path "$folder"); fi
  echo "== $name"
  log=$work/$name.log
  timeout 600 "$wine" "$driver" "$name" "$(windows_path "$work/shots")" "$target" >"$log" 2>&1
  status=$?
  cat "$log"
  if [ $status -ne 0 ] || ! grep -qE "^[0-9]+ passed, 0 failed" "$log"; then
    echo "e2e: $name FAILED (exit status $status)"
    failures=$((failures + 1))
  fi
  # Whatever the scenario left running (the registry import, the Control Panel) ends before the next.
  timeout 60 "$server" -w >/dev/null 2>&1
done
echo "screenshots: $work/shots"
if [ $failures -eq 0 ]; then
  echo "e2e: every scenario passed"
  exit 0
fi
echo "e2e: $failures scenario(s) failed"
exit 1
