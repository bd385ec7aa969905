#!/usr/bin/env bash
# Writes the installation media from the two disk folders the host build assembles and the 32-bit
# Windows binaries: J6W95.IMG (a 1.44 MB FAT12 floppy with the Windows 95 disk) and J6NT.ISO (an
# ISO 9660 image with the Windows NT disk), with the folders they were made from beside them.
#   tools/media/make-media.sh WIN95_DISK NT_DISK WIN32_BUILD OUT
# Our own binaries replace their stand-ins under the names the INF and file.lst use; the files that come
# from the card maker stay the marked stand-ins of the disk folders.
set -euo pipefail
if [ $# -ne 4 ]; then
  echo "usage: $0 WIN95_DISK NT_DISK WIN32_BUILD OUT" >&2
  exit 2
fi
win95=$1 nt=$2 win32=$3 out=$4
for tool in mformat mcopy xorriso; do
  if ! command -v "$tool" >/dev/null; then
    echo "$0: $tool is missing: install mtools and xorriso (scripts/test-windows.sh does)" >&2
    exit 2
  fi
done
declare -A ours95=([INSTALLER.EXE]=windows/installer/INSTALLER.EXE [J6BASE.DLL]=windows/j6base/J6BASE.DLL
                   [DETECT32.DLL]=windows/installer/DETECT32.DLL)
declare -A oursnt=([SETUP.EXE]=windows/setup/SETUP.EXE [j6audio.cpl]=windows/applet/J6AUDIO.CPL)
for f in "${ours95[@]}" "${oursnt[@]}"; do
  if [ ! -f "$win32/$f" ]; then
    echo "$0: $win32/$f is not built: build the win32-i686 preset first (cmake --build --preset win32-i686)" >&2
    exit 2
  fi
done
for d in "$win95" "$nt"; do
  if [ ! -d "$d" ]; then
    echo "$0: $d is not a disk folder: build the host targets disk95 and ntdisk first" >&2
    exit 2
  fi
done

rm -rf "$out/win95" "$out/nt" "$out/J6W95.IMG" "$out/J6NT.ISO"
mkdir -p "$out"
cp -r "$win95" "$out/win95"
cp -r "$nt" "$out/nt"
for name in "${!ours95[@]}"; do cp "$win32/${ours95[$name]}" "$out/win95/$name"; done
for name in "${!oursnt[@]}"; do cp "$win32/${oursnt[$name]}" "$out/nt/$name"; done
# The binaries go out without their symbol tables, which only a debugger reads.
strip=$(command -v i686-w64-mingw32-strip || true)
if [ -n "$strip" ]; then
  for name in "${!ours95[@]}"; do "$strip" --strip-all "$out/win95/$name"; done
  for name in "${!oursnt[@]}"; do "$strip" --strip-all "$out/nt/$name"; done
fi

# Fixed dates and serial numbers, so the same files give the same images.
touch -d '1998-06-01 12:00:00' "$out"/win95/* "$out"/nt/*
export SOURCE_DATE_EPOCH=896702400

img=$out/J6W95.IMG
mformat -C -i "$img" -f 1440 -v J6AUDIO95 -N 4A364155 ::
# Windows 95 reads the short names; mtools keeps the disk's spelling as a long name where it differs.
mcopy -i "$img" -m "$out"/win95/* ::/
free=$(minfo -i "$img" :: >/dev/null 2>&1; mdir -i "$img" :: | awk '/bytes free/ { gsub(",", "", $1); print $1 }')
echo "J6W95.IMG: $(ls "$out/win95" | wc -l) files, ${free:-?} bytes free"

# Level 1 gives the 8.3 names NT 4.0's CD file system reads; Joliet keeps the disk's own spelling.
xorriso -no_rc -report_about WARNING -as mkisofs -quiet -iso-level 1 -J -V J6AUDIONT \
        -o "$out/J6NT.ISO" "$out/nt"
echo "J6NT.ISO: $(ls "$out/nt" | wc -l) files, $(stat -c %s "$out/J6NT.ISO") bytes"
