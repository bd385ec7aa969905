#!/usr/bin/env bash
# Installs from the files read back out of the installation media, on simulated PCs: the Windows 95
# installer from J6W95.IMG's files, the NT setup from J6NT.ISO's files, and checks what they left.
#   tools/media/install-from-media.sh J6SIM OUT     (OUT as given to make-media.sh)
set -uo pipefail
skip=77
[ -n "${J6_WINDOWS_REQUIRED:-}" ] && skip=1
j6sim=${1:?usage: $0 J6SIM OUT} out=${2:?usage: $0 J6SIM OUT}
if [ ! -f "$out/J6W95.IMG" ] || [ ! -f "$out/J6NT.ISO" ]; then
  echo "SKIPPED: no media in $out (build the host target media after the win32-i686 preset)" >&2
  exit $skip
fi
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail=0
bad() { echo "FAIL: $*" >&2; fail=1; }
mkdir "$work/win95" "$work/nt"
mcopy -i "$out/J6W95.IMG" -n -m '::/*' "$work/win95/" || bad "mcopy from J6W95.IMG"
xorriso -no_rc -report_about FAILURE -osirrox on -indev "$out/J6NT.ISO" -extract / "$work/nt" 2>/dev/null ||
  bad "xorriso could not read J6NT.ISO"
chmod -R u+w "$work/nt"

"$j6sim" new "$work/pc95" >/dev/null || bad "j6sim new (Windows 95)"
"$j6sim" install95 "$work/pc95" --disk "$work/win95" --choose install-windows --answer dls=no --reboot yes \
  >"$work/install95.txt" 2>&1 || { cat "$work/install95.txt" >&2; bad "install95 from J6W95.IMG's files"; }
for f in SYSTEM/J6BASE.DLL SYSTEM/J6CVXD.VXD; do
  cmp -s "$work/win95/$(basename "$f")" "$work/pc95/C/WINDOWS/$f" || bad "C:\\WINDOWS\\$f is not the image's file"
done

"$j6sim" new "$work/pcnt" --os nt >/dev/null || bad "j6sim new (Windows NT)"
"$j6sim" setupnt "$work/pcnt" --disk "$work/nt" --reboot yes >"$work/setupnt.txt" 2>&1 ||
  { cat "$work/setupnt.txt" >&2; bad "setupnt from J6NT.ISO's files"; }
for f in SYSTEM32/j6audio.cpl SYSTEM32/DRIVERS/j6knldrv.sys; do
  cmp -s "$work/nt/$(basename "$f")" "$work/pcnt/C/WINNT/$f" || bad "C:\\WINNT\\$f is not the image's file"
done
[ $fail -eq 0 ] && echo "media: installed from J6W95.IMG's and J6NT.ISO's files on simulated PCs"
exit $fail
