#!/usr/bin/env bash
# Converts and compresses the bundled samples with the Linux krelt-cli and
# with the Windows krelt-cli.exe under wine, then compares every file the two
# wrote byte for byte.
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
samples="$(cd "$(dirname "$0")/.." && pwd)/samples"
rm -rf "$out"
mkdir -p "$out/linux" "$out/windows"

# Runs krelt-cli on both systems. "@OUT@" and "@SAMPLES@" in the arguments
# stand for the output folder of each program and the samples folder; the
# Windows program sees the build machine's files on drive Z:.
both() {
  local linux_args=() windows_args=() arg
  for arg in "$@"; do
    linux_args+=("$(sed -e "s|@OUT@|$out/linux|" -e "s|@SAMPLES@|$samples|" <<<"$arg")")
    windows_args+=("$(sed -e "s|@OUT@|Z:$out/windows|" -e "s|@SAMPLES@|Z:$samples|" <<<"$arg")")
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

files=$(find "$out/linux" -type f | wc -l)
if [ "$files" -ne 17 ] || ! diff -r "$out/linux" "$out/windows"; then
  echo "krelt-cli.exe wrote different files than krelt-cli ($files files on Linux)" >&2
  exit 1
fi
echo "$files files identical"
