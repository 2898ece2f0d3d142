#!/usr/bin/env bash
# Opens the Krelt dialog when a display is available.
# Usage: open-dialog.sh BUILD_DIR
set -euo pipefail

if [ $# -ne 1 ]; then
  echo "Usage: $0 BUILD_DIR" >&2
  exit 2
fi
program="$1/krelt"
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  echo "No display available (DISPLAY and WAYLAND_DISPLAY are unset): not opening the dialog."
  exit 0
fi
if [ ! -x "$program" ]; then
  echo "$program not found; build it first (make build)." >&2
  exit 1
fi
echo "Opening the dialog ($program); close it to continue."
exec "$program"
