#!/usr/bin/env bash
# Renders the program's icon at the sizes a desktop looks for, from the one drawing. Run it after changing
# the drawing and commit the pictures, so that building needs no SVG renderer.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
svg="$here/org.kestrune.Kestrune.svg"
for size in 16 32 48 64 128 256; do
  mkdir -p "$here/hicolor/${size}x${size}"
  rsvg-convert -w "$size" -h "$size" "$svg" -o "$here/hicolor/${size}x${size}/org.kestrune.Kestrune.png"
done
