#!/usr/bin/env bash
# Reads the installation media back without mounting them and compares every file with the folder it
# was made from, byte for byte; checks the floppy's file system, size and label and the CD's 8.3 names.
#   tools/media/check-media.sh OUT     (OUT as given to make-media.sh)
# Exit status 77 (CTest's "skipped") when the media are not made, 1 where J6_WINDOWS_REQUIRED is set.
set -uo pipefail
skip=77
[ -n "${J6_WINDOWS_REQUIRED:-}" ] && skip=1
out=${1:?usage: $0 OUT}
img=$out/J6W95.IMG iso=$out/J6NT.ISO
if [ ! -f "$img" ] || [ ! -f "$iso" ]; then
  echo "SKIPPED: no media in $out (build the host target media after the win32-i686 preset)" >&2
  exit $skip
fi
fail=0
bad() { echo "FAIL: $*" >&2; fail=1; }
read_back=$(mktemp -d)
trap 'rm -rf "$read_back"' EXIT

# The floppy: 1.44 MB, a clean FAT12 file system, its label, and exactly the disk's files.
[ "$(stat -c %s "$img")" -eq 1474560 ] || bad "J6W95.IMG is $(stat -c %s "$img") bytes, not 1474560"
fsck.fat -n "$img" >"$read_back/fsck.txt" 2>&1 || { cat "$read_back/fsck.txt" >&2; bad "fsck.fat -n J6W95.IMG"; }
grep -q "FAT12" <(minfo -i "$img" :: 2>/dev/null) || bad "J6W95.IMG is not FAT12"
label=$(mlabel -i "$img" -s :: 2>/dev/null)
[[ "$label" == *J6AUDIO95* ]] || bad "J6W95.IMG volume label is '$label'"
mkdir "$read_back/win95"
mcopy -i "$img" -n -m -s '::/*' "$read_back/win95/" || bad "mcopy from J6W95.IMG"
diff -r "$out/win95" "$read_back/win95" >&2 || bad "J6W95.IMG differs from $out/win95"

# The CD: ISO 9660 level 1 names (8.3, upper case) for every file, and exactly the disk's files.
mkdir "$read_back/nt"
xorriso -no_rc -report_about FAILURE -osirrox on -indev "$iso" -extract / "$read_back/nt" ||
  bad "xorriso could not read J6NT.ISO"
chmod -R u+w "$read_back/nt"
diff -r "$out/nt" "$read_back/nt" >&2 || bad "J6NT.ISO differs from $out/nt"
names=$(isoinfo -l -i "$iso" | awk '/^-/ { print $NF }')
for name in $names; do
  [[ "$name" =~ ^[A-Z0-9_]{1,8}(\.[A-Z0-9_]{0,3})?\;1$ ]] || bad "J6NT.ISO name '$name' is not 8.3"
done
[ "$(wc -w <<<"$names")" -eq "$(ls "$out/nt" | wc -l)" ] || bad "J6NT.ISO holds $(wc -w <<<"$names") names"

# The images carry our own binaries, not the stand-ins.
for f in win95/INSTALLER.EXE win95/J6BASE.DLL nt/SETUP.EXE nt/j6audio.cpl; do
  grep -q "installation disk stand-in" "$read_back/$f" && bad "$f is a stand-in"
done
[ $fail -eq 0 ] && echo "media: J6W95.IMG and J6NT.ISO read back equal to their folders"
exit $fail
