#!/usr/bin/env bash
# Runs `j6sim dls check` on each small file of the corpus and prints what the engine answered.
# Whether a file loads is recorded, not asserted (DLS Level 2 region lists and multi-key drum
# regions are refused today); what fails the test is a crash or an answer without a status.
set -uo pipefail
j6sim="$1" dir="$2"
[ -r "$dir/manifest.json" ] || { echo "check-corpus: no $dir/manifest.json (run scripts/make-corpus.sh)"; exit 1; }
files=$(python3 -c '
import json, sys
for e in json.load(open(sys.argv[1])):
    if e["content"] != "whole bank":
        print(e["file"], e["writer"], "L%d" % e["dls_level"], e["region_lists"], e["multikey_drum_regions"])
' "$dir/manifest.json") || exit 1
bad=0
printf '%-38s %-15s %-5s %-5s %-6s %s\n' file writer level lists multi answer
while read -r f writer level lists multi; do
  out=$("$j6sim" dls check "$dir/$f" 2>&1)
  rc=$?
  first=$(head -n 1 <<<"$out")
  if [ $rc -eq 0 ] && [[ "$first" == *": loads" ]]; then
    answer="accepted"
  elif [ $rc -eq 1 ] && [[ "$first" =~ does\ not\ load:\ status\ ([0-9]+) ]]; then
    answer="refused, status ${BASH_REMATCH[1]}: ${first#*status ${BASH_REMATCH[1]} }"
  else
    answer="NO STATUS (exit $rc): $first"
    bad=1
  fi
  printf '%-38s %-15s %-5s %-5s %-6s %s\n' "$f" "$writer" "$level" "$lists" "$multi" "$answer"
done <<<"$files"
exit $bad
