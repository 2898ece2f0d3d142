#!/usr/bin/env bash
# Cross-builds the core, krelt-cli, the dialog krelt.exe and their tests for
# 64-bit Windows and runs the tests under wine, on an X display of its own
# (Xvfb) for the dialog. The wine prefix lives inside BUILD_DIR.
# Usage: scripts/test-windows.sh BUILD_DIR [LINUX_KRELT_CLI]
# With LINUX_KRELT_CLI, the samples converted by both programs are also
# compared byte for byte.
set -euo pipefail

if [ $# -lt 1 ] || [ $# -gt 2 ]; then
  echo "Usage: $0 BUILD_DIR [LINUX_KRELT_CLI]" >&2
  exit 2
fi
root="$(cd "$(dirname "$0")/.." && pwd)"
mkdir -p "$1"
build="$(cd "$1" && pwd)"
linux_cli=""
if [ $# -eq 2 ]; then linux_cli="$(cd "$(dirname "$2")" && pwd)/$(basename "$2")"; fi

export WINEPREFIX="$build/wine-prefix"
export WINEDEBUG=-all,err+all  # wine's error messages only
export WINEDLLOVERRIDES="mscoree,mshtml="  # no Mono or Gecko installer prompts

# A wine program started by ctest would otherwise start the wine server and
# its services, which keep the test's output pipe open and ctest waiting.
# Start the server and the prefix first, away from any pipe of ours, and
# stop the server on the way out. A server already running for the prefix
# is fine, so only wineboot's status counts; what both print goes to a log
# shown on failure. wineboot, as every wine program of the tests, runs
# through wine-run.sh (see there why), and so do the services it starts.
mkdir -p "$WINEPREFIX"
log="$build/wine-start.log"
# The display comes first: wine's desktop, started with the prefix, takes
# the display it finds then. Xvfb picks a free display number and writes it
# to the file descriptor given.
display_file="$build/xvfb-display"
rm -f "$display_file"
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$display_file" >"$build/xvfb.log" 2>&1 &
xvfb_pid=$!
trap 'wineserver -k </dev/null >/dev/null 2>&1 || true; kill "$xvfb_pid" 2>/dev/null || true' EXIT
for _ in $(seq 100); do
  [ -s "$display_file" ] && break
  kill -0 "$xvfb_pid" 2>/dev/null || break
  sleep 0.1
done
if [ ! -s "$display_file" ]; then
  echo "$0: Xvfb did not start:" >&2
  cat "$build/xvfb.log" >&2
  exit 1
fi
export DISPLAY=":$(cat "$display_file")"
wineserver -p </dev/null >"$log" 2>&1 || echo "wineserver -p: exit $?" >>"$log"
if ! "$root/scripts/wine-run.sh" wineboot -i </dev/null >>"$log" 2>&1; then
  echo "$0: wine could not start its prefix in $WINEPREFIX:" >&2
  cat "$log" >&2
  exit 1
fi

"$root/scripts/configure-windows.sh" "$build" -DKRELT_LINUX_CLI="$linux_cli"
cmake --build "$build" -j "$(nproc)"
ctest --test-dir "$build" --output-on-failure --timeout 300 -j "$(nproc)"
