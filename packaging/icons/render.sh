#!/usr/bin/env bash
# Renders the PNG sizes of the hicolor icon from org.example.VexTempora.svg. The PNGs are
# committed, so the build never needs this; run it after changing the SVG.
set -euo pipefail
cd "$(dirname "$0")"
for size in 16 22 24 32 48 64 128 256; do
    mkdir -p "hicolor/${size}x${size}/apps"
    rsvg-convert -w "$size" -h "$size" org.example.VexTempora.svg -o "hicolor/${size}x${size}/apps/org.example.VexTempora.png"
done
