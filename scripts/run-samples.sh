#!/usr/bin/env bash
# Runs krelt-cli on the bundled samples: compresses and decompresses every
# file (sizes, ratio, round trip checked with cmp), then converts every
# sample picture into BUILD_DIR/samples/ and prints the reports.
# Usage: scripts/run-samples.sh BUILD_DIR
set -euo pipefail

if [ $# -ne 1 ]; then
  echo "Usage: $0 BUILD_DIR" >&2
  exit 2
fi
build=$1
cli="$build/krelt-cli"
samples="$(cd "$(dirname "$0")/.." && pwd)/samples"
out="$build/samples"
if [ ! -x "$cli" ]; then
  echo "$0: $cli is missing; build first" >&2
  exit 1
fi
mkdir -p "$out"

echo "== Compression round trips"
printf '%-14s %9s %11s %7s  %s\n' file bytes compressed ratio "round trip"
for file in "$samples"/*; do
  name=$(basename "$file")
  "$cli" compress "$file" "$out/$name.tfp"
  "$cli" decompress "$out/$name.tfp" "$out/$name.back"
  size=$(wc -c <"$file")
  packed=$(wc -c <"$out/$name.tfp")
  if cmp -s "$file" "$out/$name.back"; then check=same; else check=DIFFERENT; fi
  ratio=$(awk -v p="$packed" -v s="$size" 'BEGIN { if (s > 0) printf "%.1f%%", 100 * p / s; else print "-" }')
  printf '%-14s %9d %11d %7s  %s\n' "$name" "$size" "$packed" "$ratio" "$check"
  [ "$check" = same ] || exit 1
done

convert() {
  echo
  echo "== krelt-cli convert $*"
  "$cli" convert --output-dir "$out" "$@"
}

echo
echo "== Conversions into $out"
for picture in logo.bmp badge.pcx photo24.pcx spin.xsp; do
  convert "$samples/$picture"
done
convert --1555 "$samples/badge.pcx"
convert --1555 "$samples/spin.xsp"
convert --1555 --start 1 --end 2 "$samples/spin.xsp"
