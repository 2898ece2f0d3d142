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

# The dialog shows paths as it was given them. It runs in the scratch folder
# on a picture named relative to it, in a folder literally called "~", so
# its fields show "~/art/..." as on a user's machine, not the build folder.
scratch="$build/screenshot"
rm -rf "$scratch"
mkdir -p "$scratch/~/art"
cp "$sample" "$scratch/~/art/"
output="$root/docs/screenshot.png"
(cd "$scratch" &&
  QT_QPA_PLATFORM=offscreen "$tool" "~/art/$(basename "$sample")" "$output")
echo "Wrote $root/docs/screenshot.png"
