#!/bin/sh
# Makes the program's icons again from their one drawing, resources/icons/tessaly.svg:
# a PNG of each size (the Linux desktop's hicolor theme and the Qt windows) and
# tessaly.ico with all of them (the Windows programs' resource). The results are
# committed beside the drawing, so that a build needs neither tool:
#   apt-get install librsvg2-bin icoutils && tools/make_icons.sh
set -eu
cd "$(dirname "$0")/../resources/icons"
for tool in rsvg-convert icotool; do
  command -v $tool >/dev/null || { echo "make_icons.sh: $tool missing (apt-get install librsvg2-bin icoutils)" >&2; exit 1; }
done
sizes="16 24 32 48 64 128 256"
for size in $sizes; do
  rsvg-convert -w "$size" -h "$size" tessaly.svg -o "tessaly-$size.png"
done
# 256 pixels as PNG inside the .ico, as Windows stores that size since Vista;
# the others as bitmaps, which every version reads.
icotool -c -o tessaly.ico $(for size in $sizes; do [ "$size" = 256 ] && echo -r; echo "tessaly-$size.png"; done)
icotool -l tessaly.ico
