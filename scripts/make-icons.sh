#!/usr/bin/env bash
# Draws the application icon for the desktop's hicolor theme into
# data/icons/hicolor/SIZExSIZE/apps/krelt.png (needs ImageMagick). 16 and 32
# pixels are the dialog's own hand-drawn icons; the larger sizes repeat their
# picture, a framed landscape with a sun, drawn at 1024 pixels and scaled down.
set -euo pipefail
cd "$(dirname "$0")/.."

out=data/icons/hicolor
for size in 16 32; do
  mkdir -p "$out/${size}x${size}/apps"
  cp "src/app/icons/app_${size}.png" "$out/${size}x${size}/apps/krelt.png"
done

master=$(mktemp --suffix=.png)
trap 'rm -f "$master"' EXIT
# Coordinates on a 1024-pixel canvas.
convert -size 1024x1024 xc:none \
  -fill '#1F4D98' -draw 'roundrectangle 24,24 1000,1000 160,160' \
  -fill '#2E5EAD' -draw 'roundrectangle 72,72 952,952 120,120' \
  -fill '#DFF0FF' -draw 'rectangle 184,184 840,760' \
  -fill '#F7B500' -draw 'circle 352,360 352,440' \
  -fill '#2E9E48' -draw 'polygon 200,760 480,452 640,620 736,540 824,760' \
  -fill '#F4F8FF' -draw 'rectangle 184,808 840,872' \
  "$master"
for size in 48 64 128 256; do
  mkdir -p "$out/${size}x${size}/apps"
  convert "$master" -filter Lanczos -resize "${size}x${size}" \
    -define png:exclude-chunks=date,time -strip "$out/${size}x${size}/apps/krelt.png"
done
