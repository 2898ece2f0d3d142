#!/usr/bin/env bash
# Renders the dialog after converting a bundled sample to docs/screenshot.png.
# Usage: screenshot.sh BUILD_DIR [SAMPLE]
# The sample is copied to a scratch folder first, so samples/ stays as it is.
set -euo pipefail

if [ $# -lt 1 ] || [ $# -gt 2 ]; then
  echo "Usage: $0 BUILD_DIR [SAMPLE]" >&2
  exit 2
fi
root="$(cd "$(dirname "$0")/.." && pwd)"
build="$(cd "$1" && pwd)"
sample="${2:-$root/samples/spin.xsp}"
tool="$build/src/app/krelt_screenshot"
if [ ! -x "$tool" ]; then
  cmake --build "$build" --target krelt_screenshot
fi

scratch="$build/screenshot"
rm -rf "$scratch"
mkdir -p "$scratch"
cp "$sample" "$scratch/"
QT_QPA_PLATFORM=offscreen "$tool" "$scratch/$(basename "$sample")" "$root/docs/screenshot.png"
echo "Wrote $root/docs/screenshot.png"
