#!/usr/bin/env bash
# Regenerates the control's pictures with ImageMagick: the 370x120 24-bit
# standby picture (bitmap 201), the 16x15 toolbox bitmap and the icon.
set -euo pipefail
cd "$(dirname "$0")"
convert -size 370x120 gradient:'#1d3557-#0b1a2e' \
  -fill none -stroke '#8ecae6' -strokewidth 3 -draw "ellipse 60,60 44,26 0,360" \
  -fill '#219ebc' -stroke '#8ecae6' -strokewidth 2 -draw "circle 60,60 60,76" \
  -fill '#0b1a2e' -stroke none -draw "circle 60,60 60,67" \
  -fill '#ffffff' -draw "circle 55,55 55,57" \
  -fill '#ffffff' -font DejaVu-Sans-Bold -pointsize 26 -annotate +122+52 'STANDBY' \
  -fill '#8ecae6' -font DejaVu-Sans -pointsize 14 -annotate +124+78 'Iris device idle' \
  -fill '#8ecae6' -font DejaVu-Sans -pointsize 11 -annotate +124+98 'K7Q  -  no capture running' \
  -type TrueColor BMP3:standby.bmp
convert -size 16x15 xc:'#c0c0c0' -fill none -stroke '#000080' -draw "ellipse 7,7 7,4 0,360" \
  -fill '#000080' -stroke none -draw "circle 7,7 7,9" -colors 16 -type Palette BMP3:toolbox.bmp
tmp=$(mktemp -d)
convert -size 32x32 xc:'#000080' -fill none -stroke '#00ffff' -strokewidth 2 -draw "ellipse 15,15 13,8 0,360" \
  -fill '#00ffff' -stroke none -draw "circle 15,15 15,20" -fill '#000000' -draw "circle 15,15 15,17" \
  -colors 16 "$tmp/icon32.png"
convert "$tmp/icon32.png" -resize 16x16 -colors 16 "$tmp/icon16.png"
convert "$tmp/icon32.png" "$tmp/icon16.png" -colors 16 tavrik.ico
rm -rf "$tmp"
