#!/usr/bin/env bash
# Regenerates the reference pictures of this folder with ImageMagick 6 and
# Netpbm, and their pixel dumps (plain PPM) with Netpbm's own decoders.
set -euo pipefail
cd "$(dirname "$0")"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# Source pictures: few colours (6 and 2), a 12-colour and a 78-colour one.
convert -size 7x5 xc:navy +antialias -fill orange -draw "rectangle 1,1 4,3" \
  -fill white -draw "point 6,0" -fill red -draw "point 0,4" \
  -fill lime -draw "point 5,2" -fill '#808080' -draw "point 6,4" \
  -depth 8 -compress none "$work/few7x5.ppm"
convert -size 13x6 gradient:'#ff2010-#2040ff' \
  \( -size 6x13 gradient:black-'#00c000' -rotate 90 \) -compose plus -composite \
  -depth 8 -compress none "$work/grad13x6.ppm"
convert "$work/grad13x6.ppm" +dither -colors 12 -depth 8 -compress none "$work/twelve13x6.ppm"
convert -size 13x6 xc:black +antialias -fill yellow -draw "rectangle 2,1 10,4" \
  -depth 8 -compress none "$work/two13x6.ppm"

# BMP: 8 bits (Netpbm, colours used 0; ImageMagick, colours used 256),
# 8-bit RLE (ImageMagick's default for palette pictures), 24 bits, and
# 32 bits with alpha (ImageMagick writes a 124-byte header with bit fields).
ppmtobmp -bpp=8 "$work/few7x5.ppm" > bmp8_7x5.bmp
convert "$work/grad13x6.ppm" -type Palette -compress none BMP3:bmp8_13x6.bmp
convert "$work/grad13x6.ppm" -type Palette BMP3:bmp8_rle_13x6.bmp
ppmtobmp -bpp=24 "$work/grad13x6.ppm" > bmp24_13x6.bmp
convert "$work/few7x5.ppm" -type TrueColor BMP3:bmp24_7x5.bmp
convert "$work/grad13x6.ppm" -alpha set -channel A -evaluate set 80% +channel BMP:bmp32_13x6.bmp

# PCX: 1 bit in 3, 4 and 1 planes (Netpbm picks the plane count), 256
# colours (Netpbm and ImageMagick) and 24 bits in three planes.
ppmtopcx "$work/few7x5.ppm" > pcx16_3planes_7x5.pcx
ppmtopcx "$work/twelve13x6.ppm" > pcx16_4planes_13x6.pcx
ppmtopcx "$work/two13x6.ppm" > pcx2_1plane_13x6.pcx
ppmtopcx -8bit "$work/grad13x6.ppm" > pcx256_13x6.pcx
convert "$work/few7x5.ppm" -type Palette PCX:pcx256_7x5.pcx
ppmtopcx -24bit "$work/few7x5.ppm" > pcx24_7x5.pcx
convert "$work/grad13x6.ppm" PCX:pcx24_13x6.pcx

# What each picture holds, as Netpbm reads it (the RLE bitmap is refused by
# our reader and needs none).
for picture in *.bmp; do
  [ "$picture" = bmp8_rle_13x6.bmp ] && continue
  bmptoppm "$picture" | pnmtoplainpnm > "${picture%.bmp}.expected.ppm"
done
for picture in *.pcx; do
  pcxtoppm "$picture" | pnmtoplainpnm > "${picture%.pcx}.expected.ppm"
done
