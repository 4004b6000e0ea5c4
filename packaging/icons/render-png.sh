#!/bin/sh
# Renders the PNG sizes of the icon from quillon-print.svg (Debian package librsvg2-bin).
# Run after changing the picture; the PNGs are kept beside it.
set -eu
cd "$(dirname "$0")"
for size in 16 32 48 64 128 256; do
  rsvg-convert -w "$size" -h "$size" quillon-print.svg -o "quillon-print-$size.png"
done
