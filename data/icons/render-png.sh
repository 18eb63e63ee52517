#!/bin/sh
# Renders the PNG sizes of the program's icon from its SVG (needs librsvg2-bin).
# The PNGs are committed, so a build needs no converter; run this after changing the SVG.
set -eu
cd "$(dirname "$0")/hicolor"
for size in 16 24 32 48 64 128 256; do
    mkdir -p "${size}x${size}/apps"
    rsvg-convert -w "$size" -h "$size" scalable/apps/de.holmtex.Notiz.svg \
        -o "${size}x${size}/apps/de.holmtex.Notiz.png"
done
