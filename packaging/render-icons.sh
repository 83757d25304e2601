#!/usr/bin/env bash
# Renders the program's icon into the PNG sizes of the hicolor theme. The
# PNGs are kept in the tree so that a build needs no SVG renderer; run this
# after changing vaxow.svg (needs librsvg2-bin).
set -euo pipefail
cd "$(dirname "$0")"
for size in 16 22 24 32 48 64 128 256; do
    mkdir -p "icons/${size}x${size}"
    rsvg-convert -w "$size" -h "$size" vaxow.svg -o "icons/${size}x${size}/vaxow.png"
done
