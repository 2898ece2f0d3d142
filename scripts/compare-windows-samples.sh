#!/usr/bin/env bash
# Converts and compresses the bundled samples and PNG pictures of the tests
# (also onto colour tables) with the Linux krelt-cli and with the Windows
# krelt-cli.exe under wine, writes PNG pictures of GD files with both, then
# compares every file the two wrote byte for byte.
# Usage: scripts/compare-windows-samples.sh LINUX_CLI WINDOWS_CLI OUT_DIR
# WINE names the wine program (default: scripts/wine-run.sh).
set -euo pipefail

if [ $# -ne 3 ]; then
  echo "Usage: $0 LINUX_CLI WINDOWS_CLI OUT_DIR" >&2
  exit 2
fi
linux=$1
windows=$2
out=$3
wine=${WINE:-"$(dirname "$0")/wine-run.sh"}
root="$(cd "$(dirname "$0")/.." && pwd)"
samples="$root/samples"
pictures="$root/tests/data"
rm -rf "$out"
mkdir -p "$out/linux" "$out/windows"

# Runs krelt-cli on both systems. "@OUT@", "@SAMPLES@" and "@PICTURES@" in
# the arguments stand for the output folder of each program, the samples
# folder and the tests' pictures; the Windows program sees the build
# machine's files on drive Z:.
both() {
  local linux_args=() windows_args=() arg
  for arg in "$@"; do
    linux_args+=("$(sed -e "s|@OUT@|$out/linux|" -e "s|@SAMPLES@|$samples|" \
                        -e "s|@PICTURES@|$pictures|" <<<"$arg")")
    windows_args+=("$(sed -e "s|@OUT@|Z:$out/windows|" -e "s|@SAMPLES@|Z:$samples|" \
                          -e "s|@PICTURES@|Z:$pictures|" <<<"$arg")")
  done
  "$linux" "${linux_args[@]}" >/dev/null
  "$wine" "$windows" "${windows_args[@]}" >/dev/null
}

case_number=0
convert() {
  case_number=$((case_number + 1))
  mkdir -p "$out/linux/$case_number" "$out/windows/$case_number"
  both convert --output-dir "@OUT@/$case_number" "$@"
}

for sample in logo.bmp badge.pcx photo24.pcx spin.xsp; do
  both compress "@SAMPLES@/$sample" "@OUT@/$sample.tfp"
  convert "@SAMPLES@/$sample"
  convert --1555 "@SAMPLES@/$sample"
  convert --lf "@SAMPLES@/$sample"
done
convert --start 1 --end 2 "@SAMPLES@/spin.xsp"
# PNG pictures of each colour type, bit depth and transparency.
for picture in png_palette_trns_7x5 png_grey4_13x6 png_rgb8_interlaced_13x6 \
               png_rgb_trns_7x5 png_rgba16_13x6; do
  convert "@PICTURES@/$picture.png"
  convert --1555 "@PICTURES@/$picture.png"
done
# Colour tables: pictures mapped onto a palette picture's table, and one
# table of at most N colours reduced over two pictures, dithered and
# written out.
convert --map-palette "@PICTURES@/png_palette8_13x6.png" "@PICTURES@/png_rgb8_13x6.png" \
  "@PICTURES@/bmp24_13x6.bmp" "@PICTURES@/pcx256_13x6.pcx"
convert --colors 64 --dither diffusion --palette-out "@OUT@/shared.pal" \
  "@PICTURES@/plasma_640x480.png" "@SAMPLES@/photo24.pcx"
convert --colors 4 "@SAMPLES@/badge.pcx"
# PNG pictures written: the previews of a conversion, and the records of a
# GD file in the palette of a PNG picture.
mkdir -p "$out/linux/preview" "$out/windows/preview"
convert --preview "@OUT@/preview" "@SAMPLES@/spin.xsp" "@PICTURES@/png_rgba8_13x6.png"
both extract --output-dir "@OUT@/preview" --palette "@PICTURES@/png_palette8_13x6.png" \
  "@OUT@/1/logo.GD"

files=$(find "$out/linux" -type f | wc -l)
if [ "$files" -ne 42 ] || ! diff -r "$out/linux" "$out/windows"; then
  echo "krelt-cli.exe wrote different files than krelt-cli ($files files on Linux)" >&2
  exit 1
fi
echo "$files files identical"
