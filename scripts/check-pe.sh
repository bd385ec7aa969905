#!/usr/bin/env bash
# Checks a Windows binary's exports, imports and section flags against a list of expectations, with
# objdump. Exit status 77 (CTest's "skipped") when the binary is not built.
#   scripts/check-pe.sh BINARY EXPECTATIONS
# EXPECTATIONS, one per line (# starts a comment):
#   export ORDINAL NAME    exported at ORDINAL under NAME ("-" for no name); the exports listed must be
#                          all of them, so a stray export fails
#   import DLL ORDINAL     imports DLL's export ORDINAL by number
#   import DLL NAME        imports DLL's export NAME by name
#   noexport NAME          NAME is not exported
#   section NAME FLAG...   section NAME exists and objdump -h shows each FLAG (for example SHARED)
set -uo pipefail
if [ $# -ne 2 ]; then
  echo "usage: $0 BINARY EXPECTATIONS" >&2
  exit 2
fi
binary=$1
expectations=$2
if [ ! -f "$binary" ]; then
  echo "SKIPPED: $binary is not built (build the Windows presets, or scripts/test-windows.sh)" >&2
  exit 77
fi
objdump=$(command -v x86_64-w64-mingw32-objdump || command -v objdump)
private=$("$objdump" -p "$binary") || exit 1
headers=$("$objdump" -h "$binary") || exit 1

# "ORDINAL NAME" for every export, "-" for one without a name.
exports=$(awk '
  /^Export Address Table -- Ordinal Base/ { base = $NF; in_eat = 1; next }
  /^\[Ordinal\/Name Pointer\] Table/ { in_eat = 0; in_names = 1; next }
  in_eat && /^\t\[/ { gsub(/[\[\]]/, " "); ord[$3 + 0] = 1; next }
  in_eat && !/^\t/ { in_eat = 0 }
  in_names && /^\t\[/ { line = $0; sub(/^\t\[ *[0-9]+\] /, "", line); idx = $0; gsub(/^\t\[ *|\].*$/, "", idx);
                        name[idx + base] = line; next }
  in_names && !/^\t/ { in_names = 0 }
  END { for (o in ord) print o, (o in name ? name[o] : "-") }' <<<"$private" | sort -n)

# "DLL ORDINAL-OR-NAME" for every import.
imports=$(awk '
  /^\tDLL Name: / { dll = toupper($3); next }
  dll != "" && /^\t[0-9a-f]+\t/ { if ($3 == "<none>") print dll, $2 + 0; else print dll, $3; next }
  /^$/ { }' <<<"$private")

failures=0
fail() {
  echo "FAILED $(basename "$binary"): $*"
  failures=$((failures + 1))
}
expected_exports=""
while read -r kind a b rest; do
  case "$kind" in
    "" | \#*) continue ;;
    export) expected_exports+="$a $b"$'\n' ;;
    noexport) grep -qE "^[0-9]+ $a\$" <<<"$exports" && fail "$a is exported" ;;
    import) grep -qix "$(tr '[:lower:]' '[:upper:]' <<<"$a") $b" <<<"$imports" || fail "no import $a $b" ;;
    section)
      line=$(awk -v s="$a" '$2 == s { getline flags; print flags }' <<<"$headers")
      if [ -z "$line" ]; then
        fail "no section $a"
      else
        for flag in $b $rest; do grep -qw "$flag" <<<"$line" || fail "section $a lacks $flag ($line)"; done
      fi
      ;;
    *) echo "unknown expectation: $kind" >&2; exit 2 ;;
  esac
done <"$expectations"
if [ -n "$expected_exports" ]; then
  want=$(sort -n <<<"${expected_exports%$'\n'}")
  if [ "$want" != "$exports" ]; then
    fail "exports differ (want | got):"
    diff <(echo "$want") <(echo "$exports") | sed 's/^/  /'
  fi
fi
if ((failures)); then exit 1; fi
echo "ok $(basename "$binary")"
