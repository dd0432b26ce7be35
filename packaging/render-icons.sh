#!/usr/bin/env bash
# Renders the PNG icons of the hicolor theme from the scalable one. Run it after changing
# resources/icons/hicolor/scalable/apps/voxbench.svg and commit the PNGs: the build does not
# render them, so it needs no SVG renderer. Needs rsvg-convert (Debian package librsvg2-bin).
set -euo pipefail
cd "$(dirname "$0")/../resources/icons/hicolor"
for size in 16 22 24 32 48 64 128 256; do
  mkdir -p "${size}x${size}/apps"
  rsvg-convert --width "$size" --height "$size" scalable/apps/voxbench.svg \
    --output "${size}x${size}/apps/voxbench.png"
done
