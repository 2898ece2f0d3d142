#!/usr/bin/env bash
# Regenerates the reference pictures of this folder with ImageMagick 6 and
# Netpbm (and a few variants those tools never write with Python's standard
# library, make-unusual-pictures.py), and their pixel dumps (plain PPM, and
# plain PGM of the alpha channel) with Netpbm's or ImageMagick's decoders.
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
convert -size 13x6 gradient:'#ff2010-#2040ff' \
  \( -size 6x13 gradient:black-'#00c000' -rotate 90 \) -compose plus -composite \
  -depth 16 "$work/grad16_13x6.pam"
convert "$work/grad13x6.ppm" +dither -colors 12 -depth 8 -compress none "$work/twelve13x6.ppm"
convert -size 13x6 xc:black +antialias -fill yellow -draw "rectangle 2,1 10,4" \
  -depth 8 -compress none "$work/two13x6.ppm"
convert "$work/few7x5.ppm" -fill navy -opaque lime -fill white -opaque '#808080' \
  -depth 8 -compress none "$work/four7x5.ppm"

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

# More BMP variants: 1 and 4 bits (Netpbm, ImageMagick), OS/2 1.x headers
# of 12 bytes (Netpbm, ImageMagick's BMP2), 16-bit 5-6-5 and 5-5-5 and
# 1-5-5-5 and 4-4-4-4 bit fields with alpha masks (ImageMagick), and the
# rest from make-unusual-pictures.py.
ppmtobmp -bpp=1 "$work/two13x6.ppm" > bmp1_13x6.bmp
ppmtobmp -bpp=4 "$work/twelve13x6.ppm" > bmp4_13x6.bmp
convert "$work/few7x5.ppm" -type Palette BMP3:bmp4_7x5.bmp
ppmtobmp -os2 -bpp=8 "$work/few7x5.ppm" > bmp8_os2_7x5.bmp
convert "$work/grad13x6.ppm" BMP2:bmp24_os2_13x6.bmp
convert "$work/grad13x6.ppm" -define bmp:subtype=RGB565 BMP:bmp16_565_13x6.bmp
convert "$work/grad13x6.ppm" -define bmp:subtype=RGB555 BMP:bmp16_555_13x6.bmp
convert "$work/grad13x6.ppm" -alpha set -channel A -fx 'i/w' +channel \
  -define bmp:subtype=ARGB1555 BMP:bmp16_1555_13x6.bmp
convert "$work/grad13x6.ppm" -alpha set -channel A -evaluate set 60% +channel \
  -define bmp:subtype=ARGB4444 BMP:bmp16_4444_13x6.bmp
python3 make-unusual-pictures.py .

# More PCX variants: 2 and 4 bits packed in one plane (Netpbm), and the
# 256-colour picture with one byte appended and one byte cut off.
ppmtopcx -packed "$work/four7x5.ppm" > pcx4_packed2_7x5.pcx
ppmtopcx -packed "$work/few7x5.ppm" > pcx16_packed4_7x5.pcx
{ cat pcx256_13x6.pcx; printf '\0'; } > pcx256_extra_byte_13x6.pcx
head -c -1 pcx256_13x6.pcx > pcx256_cut_13x6.pcx

# ImageMagick's PNG files leave out the time chunks, so that they stay the
# same from one run to the next.
nodate=(-define png:exclude-chunk=date,time,tIME)

# PNG: palettes of 1, 2, 4 and 8 bits (Netpbm and ImageMagick) and with
# transparency, grey of 1, 2, 4, 8 and 16 bits, grey with alpha, RGB of 8
# and 16 bits (one interlaced, one with a transparent colour), RGBA of 8
# and 16 bits.
pnmtopng "$work/two13x6.ppm" > png_palette1_13x6.png
convert "$work/four7x5.ppm" "${nodate[@]}" -define png:bit-depth=2 PNG8:png_palette2_7x5.png
pnmtopng "$work/few7x5.ppm" > png_palette4_7x5.png
pnmtopng -force "$work/grad13x6.ppm" > png_rgb8_13x6.png
convert "$work/grad13x6.ppm" -colors 78 "${nodate[@]}" PNG8:png_palette8_13x6.png
pnmtopng -transparent=navy "$work/few7x5.ppm" > png_palette_trns_7x5.png
for depth in 1 2 4 8; do
  convert "$work/grad13x6.ppm" -colorspace Gray -depth $depth \
    "${nodate[@]}" -define png:bit-depth=$depth -define png:color-type=0 PNG:png_grey${depth}_13x6.png
done
convert "$work/grad16_13x6.pam" -colorspace Gray -depth 16 \
  "${nodate[@]}" -define png:bit-depth=16 -define png:color-type=0 PNG:png_grey16_13x6.png
convert "$work/grad13x6.ppm" -colorspace Gray -alpha set -channel A -fx 'j/h' +channel \
  "${nodate[@]}" -define png:color-type=4 PNG:png_grey_alpha_13x6.png
pnmtopng -force -interlace "$work/grad13x6.ppm" > png_rgb8_interlaced_13x6.png
convert "$work/grad16_13x6.pam" "${nodate[@]}" PNG48:png_rgb16_13x6.png
pnmtopng -transparent=rgb:ff/a5/00 -force "$work/few7x5.ppm" > png_rgb_trns_7x5.png
convert "$work/grad13x6.ppm" -alpha set -channel A -fx 'i/w' +channel "${nodate[@]}" PNG32:png_rgba8_13x6.png
convert "$work/grad16_13x6.pam" -alpha set -channel A -fx 'i/w' +channel "${nodate[@]}" PNG64:png_rgba16_13x6.png

# What each picture holds, as Netpbm reads it; ImageMagick for the bit-field
# and OS/2 2.x variants Netpbm reads wrongly or not at all, and for the RLE
# run-length coded pictures (Netpbm refuses runs past a row end and deltas).
magick_read="bmp16_565_13x6 bmp16_555_13x6 bmp16_1555_13x6
  bmp16_v2header_565_7x5 bmp16_plain555_7x5 bmp24_os2v2_7x5 bmp32_alpha_header_7x5
  bmp8_rle_delta_7x5 bmp8_rle_13x6"
for picture in *.bmp; do
  name=${picture%.bmp}
  if [[ " $(echo $magick_read) " == *" $name "* ]]; then
    convert "$picture" -depth 8 -compress none PPM:- > "$name.expected.ppm"
  else
    bmptoppm "$picture" | pnmtoplainpnm > "$name.expected.ppm"
  fi
done
# The 256-colour picture with a byte more or less holds the pixels of
# pcx256_13x6.pcx, whose dump serves for both.
for picture in *.pcx; do
  case $picture in pcx256_extra_byte_* | pcx256_cut_*) continue ;; esac
  pcxtoppm "$picture" | pnmtoplainpnm > "${picture%.pcx}.expected.ppm"
done
# A photo-like picture and ImageMagick's reduction of it to 256 colours
# without dithering, for the colour reduction's quality test.
convert -seed 7 -size 640x480 plasma:fractal -blur 0x1 -depth 8 PNG24:plasma_640x480.png
convert plasma_640x480.png -dither None -colors 256 PNG24:plasma_640x480.im256.png
for picture in *.png; do
  case $picture in plasma_*) continue ;; esac
  pngtopam "$picture" | pamdepth 255 | pamtopnm | ppmtoppm | pnmtoplainpnm \
    > "${picture%.png}.expected.ppm"
  # Netpbm's pngtopam finds the transparent colour of RGB pictures wrongly.
  convert "$picture" -alpha extract -depth 8 -compress none PGM:- \
    > "${picture%.png}.expected-alpha.pgm"
done
