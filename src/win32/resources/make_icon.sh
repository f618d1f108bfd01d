#!/usr/bin/env bash
# Draws the program icon (a padlock in front of a certificate page) at 32x32 and
# 16x16 and writes quillbay.ico with both images in 16 colours.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# 32x32: page with folded corner, text lines, padlock in front.
convert -size 32x32 xc:none +antialias \
  -fill white -stroke black -strokewidth 1 -draw "polygon 4,1 21,1 27,7 27,30 4,30" \
  -fill silver -draw "polygon 21,1 21,7 27,7" \
  -stroke navy -draw "line 8,6 18,6" -draw "line 8,9 22,9" -draw "line 8,12 22,12" \
  -stroke black -fill none -strokewidth 2 -draw "roundrectangle 12,12 22,24 4,4" \
  -strokewidth 1 -fill yellow -stroke olive -draw "rectangle 9,18 25,30" \
  -stroke olive -draw "line 9,22 25,22" -draw "line 9,26 25,26" \
  -fill black -stroke black -draw "rectangle 16,23 18,27" \
  "$work/icon32.png"

# 16x16: one text line and a larger lock, so it still reads at this size.
convert -size 16x16 xc:none +antialias \
  -fill white -stroke black -strokewidth 1 -draw "polygon 1,0 10,0 13,3 13,15 1,15" \
  -stroke navy -draw "line 3,3 9,3" \
  -stroke black -fill none -draw "roundrectangle 5,4 11,11 2,2" \
  -fill yellow -stroke olive -draw "rectangle 3,8 14,15" \
  -fill black -stroke black -draw "rectangle 8,11 9,13" \
  "$work/icon16.png"

# Drawn without antialiasing in colours of the classic 16-colour palette; quantizing to
# 16 colours then only drops the alpha shades, and with between 3 and 16 colours the ICO
# writer stores 4 bits per pixel. Transparent pixels go to the AND mask.
convert "$work/icon32.png" "$work/icon16.png" -alpha set -channel A -threshold 50% +channel \
  -dither None -colors 16 "$here/quillbay.ico"
