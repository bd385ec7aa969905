#!/usr/bin/env bash
# Makes DLS files from Debian's soundfonts with two outside writers (the JDK's DLS writer and
# libinstpatch's), with a manifest, so the engine is tried on files it did not write itself.
# Usage: scripts/make-corpus.sh OUTDIR [--large]
set -euo pipefail
usage() {
  cat <<'USAGE'
Usage: scripts/make-corpus.sh OUTDIR [--large]
Writes DLS files and OUTDIR/manifest.json (file, writer, source soundfont, content, instruments,
regions, waves, DLS level, region list kind, multi-key drum regions, sample rates).
  small sets: a few instruments or one drum kit each (a few KB to a few hundred KB)
  whole banks: TimGM6mb (both writers) and OPL3 (libinstpatch)
  --large     also FluidR3 GM by both writers and OPL3 by both (over 100 MB per file, slow)
Needs java and javac (openjdk-17-jdk-headless), cc, pkg-config, python3, libinstpatch-dev and the soundfont
packages timgm6mb-soundfont, opl3-soundfont (fluid-soundfont-gm with --large). Installs nothing.
Exit status 77 when something it needs is missing (one line says what).
USAGE
}
out="" large=0
for a in "$@"; do
  case "$a" in
    -h|--help) usage; exit 0 ;;
    --large) large=1 ;;
    -*) echo "make-corpus: unknown option $a" >&2; usage >&2; exit 2 ;;
    *) [ -z "$out" ] || { echo "make-corpus: one OUTDIR only" >&2; exit 2; }; out="$a" ;;
  esac
done
[ -n "$out" ] || { usage >&2; exit 2; }

here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
src="$here/tools/corpus"
sf2=/usr/share/sounds/sf2
tim="$sf2/TimGM6mb.sf2" opl="$sf2/OPL-3_FM_128M.sf2" fluid="$sf2/FluidR3_GM.sf2"

missing=()
for t in java javac cc pkg-config python3; do command -v "$t" >/dev/null || missing+=("$t"); done
command -v pkg-config >/dev/null && ! pkg-config --exists libinstpatch-1.0 && missing+=("libinstpatch-dev")
[ -r "$tim" ] || missing+=("timgm6mb-soundfont")
[ -r "$opl" ] || missing+=("opl3-soundfont")
((large)) && { [ -r "$fluid" ] || missing+=("fluid-soundfont-gm"); }
if ((${#missing[@]})); then
  echo "make-corpus: cannot make the DLS corpus here, missing: ${missing[*]}"
  exit 77
fi

mkdir -p "$out/.tools/classes"
tools="$out/.tools"
# The writers are built once and again only when their source changes (javac alone takes seconds).
if [ ! -x "$tools/sf2dls" ] || [ "$src/sf2dls.c" -nt "$tools/sf2dls" ]; then
  # shellcheck disable=SC2046
  cc -O2 -w -o "$tools/sf2dls" "$src/sf2dls.c" $(pkg-config --cflags --libs libinstpatch-1.0)
fi
jflags=(--add-exports java.desktop/com.sun.media.sound=ALL-UNNAMED)
if [ ! -f "$tools/classes/Sf2ToDls.class" ] || [ "$src/Sf2ToDls.java" -nt "$tools/classes/Sf2ToDls.class" ]; then
  # It warns about every use of the internal classes; only a failure matters.
  javac -nowarn "${jflags[@]}" -d "$tools/classes" "$src/Sf2ToDls.java" >"$tools/javac.log" 2>&1 ||
    { cat "$tools/javac.log" >&2; exit 1; }
fi

# name|writer|source|content|selection ("all" for the whole bank)
sets=(
  "jdk-tim-melodic.dls|openjdk|$tim|melodic|0:0 0:40 0:73"
  "jdk-tim-small.dls|openjdk|$tim|melodic|0:16 0:33 0:80 0:115"
  "jdk-tim-drums.dls|openjdk|$tim|drum|128:0"
  "jdk-tim-drums-808.dls|openjdk|$tim|drum|128:25"
  "jdk-opl3-small.dls|openjdk|$opl|melodic|0:112 0:119"
  "jdk-seed-square.dls|openjdk|$tim|melodic|0:80"
  "jdk-seed-woodblock.dls|openjdk|$tim|melodic|0:115"
  "ipatch-tim-melodic.dls|libinstpatch|$tim|melodic|0:0 0:40 0:73"
  "ipatch-tim-small.dls|libinstpatch|$tim|melodic|0:16 0:33 0:80 0:115"
  "ipatch-tim-drums.dls|libinstpatch|$tim|drum|128:0"
  "ipatch-tim-drums-808.dls|libinstpatch|$tim|drum|128:25"
  "ipatch-opl3-small.dls|libinstpatch|$opl|melodic|0:112 0:119"
  "ipatch-seed-organ.dls|libinstpatch|$tim|melodic|0:16"
  "jdk-resave-ipatch-tim-small.dls|openjdk-resave|ipatch-tim-small.dls|melodic|resave"
  "jdk-resave-ipatch-tim-drums-808.dls|openjdk-resave|ipatch-tim-drums-808.dls|drum|resave"
  "ipatch-timgm6mb.dls|libinstpatch|$tim|whole bank|all"
  "jdk-timgm6mb.dls|openjdk|$tim|whole bank|all"
)
((large)) && sets+=("ipatch-opl3.dls|libinstpatch|$opl|whole bank|all"
                    "jdk-opl3.dls|openjdk|$opl|whole bank|all"
                    "ipatch-fluidr3.dls|libinstpatch|$fluid|whole bank|all"
                    "jdk-fluidr3.dls|openjdk|$fluid|whole bank|all")

log="$tools/writers.log"
: >"$log"
jobs=() resaves=()
for s in "${sets[@]}"; do
  IFS='|' read -r name writer source content sel <<<"$s"
  rm -f "$out/$name"
  [ "$sel" = all ] && sel=""
  case "$writer" in
    libinstpatch)
      # shellcheck disable=SC2086
      "$tools/sf2dls" "$source" "$out/$name" $sel >>"$log" 2>&1 ||
        { echo "make-corpus: libinstpatch could not write $name (see $log)" >&2; exit 1; } ;;
    openjdk)
      # shellcheck disable=SC2206
      jobs+=(${jobs:+--} "$source" "$out/$name" $sel) ;;
    openjdk-resave) resaves+=(-- --resave "$out/$source" "$out/$name") ;;
  esac
done
# One JVM for every JDK file: its start-up is the slow part.
java -Xmx3g "${jflags[@]}" -cp "$tools/classes" Sf2ToDls "${jobs[@]}" "${resaves[@]}" >>"$log" 2>&1 ||
  { echo "make-corpus: the JDK writer failed (see $log)" >&2; exit 1; }

# What each file holds, read from the file itself (one Python for all: its start-up is slow).
for s in "${sets[@]}"; do echo "$s"; done | python3 -c '
import json, os, struct, sys
def describe(path):
    d = open(path, "rb").read()
    st = {"ins": 0, "drum": 0, "rgn ": 0, "rgn2": 0, "multi": 0, "waves": 0, "rates": set(), "art2": 0}
    def walk(o, e, drum):
        while o + 8 <= e:
            cid = d[o:o+4]; sz = struct.unpack("<I", d[o+4:o+8])[0]
            if cid in (b"RIFF", b"LIST"):
                t = d[o+8:o+12].decode("latin1")
                if t == "ins ": st["ins"] += 1; drum = False
                if t in ("rgn ", "rgn2"): st[t] += 1
                if t == "wave": st["waves"] += 1
                walk(o + 12, o + 8 + sz, drum)
            elif cid == b"insh":
                drum = bool(struct.unpack("<I", d[o+12:o+16])[0] & 0x80000000); st["drum"] += drum
            elif cid == b"rgnh":
                lo, hi = struct.unpack("<HH", d[o+8:o+12])
                if drum and hi > lo: st["multi"] += 1
            elif cid == b"fmt ":
                st["rates"].add(struct.unpack("<I", d[o+12:o+16])[0])
            elif cid == b"art2":
                st["art2"] += 1
            o += 8 + sz + (sz & 1)
    walk(0, len(d), False)
    return {"instruments": st["ins"], "drum_kits": st["drum"], "regions": st["rgn "] + st["rgn2"],
            "waves": st["waves"], "dls_level": 2 if st["rgn2"] or st["art2"] else 1,
            "region_lists": "+".join(k.strip() for k in ("rgn ", "rgn2") if st[k]),
            "multikey_drum_regions": st["multi"], "sample_rates": sorted(st["rates"]), "bytes": len(d)}
out, entries = sys.argv[1], []
for line in sys.stdin:
    name, writer, source, content, sel = line.rstrip("\n").split("|")
    e = {"file": name, "writer": writer, "source": os.path.basename(source), "content": content,
         "selection": sel}
    e.update(describe(os.path.join(out, name)))
    entries.append(e)
with open(os.path.join(out, "manifest.json.tmp"), "w") as f:
    f.write("[\n" + ",\n".join("  " + json.dumps(e) for e in entries) + "\n]\n")
' "$out"
mv "$out/manifest.json.tmp" "$out/manifest.json"
echo "make-corpus: ${#sets[@]} DLS files in $out (manifest.json)"
