#!/usr/bin/env bash
# Renders brindle.svg into the committed PNGs, the Windows .ico and the macOS .icns.
# Needs librsvg2-bin, imagemagick and icnsutils (run by hand after changing the SVG).
set -euo pipefail
cd "$(dirname "$0")"
for size in 16 22 24 32 48 64 128 256; do
    rsvg-convert -w "$size" -h "$size" brindle.svg -o "brindle-$size.png"
done
convert brindle-16.png brindle-24.png brindle-32.png brindle-48.png brindle-64.png brindle-256.png brindle.ico
png2icns brindle.icns brindle-16.png brindle-32.png brindle-48.png brindle-128.png brindle-256.png >/dev/null
