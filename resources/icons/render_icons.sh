#!/bin/sh
# Renders the program icon from its drawings: the hicolor PNG sizes and one Windows .ico holding
# 16 to 256. 16 pixels comes from hashcalc-small.svg, drawn on the pixel grid so it stays sharp;
# every other size comes from hashcalc.svg. Needs rsvg-convert (librsvg2-bin) and ImageMagick.
# Run it after changing a drawing and commit the results: the build uses the committed files.
set -eu
cd "$(dirname "$0")"

sizes="16 22 24 32 48 64 128 256"
for size in $sizes; do
  drawing=hashcalc.svg
  [ "$size" -le 16 ] && drawing=hashcalc-small.svg
  mkdir -p "hicolor/${size}x${size}/apps"
  rsvg-convert -w "$size" -h "$size" "$drawing" -o "hicolor/${size}x${size}/apps/hashcalc.png"
done

# Strip the PNGs' timestamps so a second run leaves the tree unchanged.
frames=""
for size in $sizes; do
  png="hicolor/${size}x${size}/apps/hashcalc.png"
  convert "$png" -strip -define png:exclude-chunks=date,time "$png"
  frames="$frames $png"
done
# shellcheck disable=SC2086 # one argument per frame
convert $frames -strip hashcalc.ico
