#!/usr/bin/env bash
# Makes resources/plugin_logo.jpg, the logo the editor embeds: the product name
# on a plain ground, in the upper 96 rows that the editor's grey band leaves
# visible. The build only reads the committed JPEG; run this again after
# changing the picture. Needs ImageMagick and fonts-dejavu-core (Debian).
set -euo pipefail
cd "$(dirname "$0")/.."

font=/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf

# Baseline, 8-bit YCbCr with 4:2:0 chroma, JFIF 1.01 at 72 dpi; -strip keeps
# comments and profiles out.
convert -size 150x150 xc:'#1d3557' \
    -font "$font" -pointsize 22 -fill '#f1faee' \
    -gravity north -annotate +0+34 'tessaravon' \
    -colorspace sRGB -type TrueColor \
    -strip -interlace none -sampling-factor 2x2,1x1,1x1 \
    -units PixelsPerInch -density 72 -quality 90 \
    resources/plugin_logo.jpg

echo "resources/plugin_logo.jpg: $(stat -c %s resources/plugin_logo.jpg) bytes"
