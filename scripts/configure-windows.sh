#!/usr/bin/env bash
# Configures the cross build for 64-bit Windows in BUILD_DIR, after
# unpacking the Debian source packages of the libraries it compiles itself
# (libspng, libimagequant) into BUILD_DIR/debian-sources, once.
# Usage: scripts/configure-windows.sh BUILD_DIR [CMAKE_OPTION...]
set -euo pipefail

if [ $# -lt 1 ]; then
  echo "Usage: $0 BUILD_DIR [CMAKE_OPTION...]" >&2
  exit 2
fi
root="$(cd "$(dirname "$0")/.." && pwd)"
build=$1
shift

"$root/scripts/install-deps.sh" --sources "$build/debian-sources" libspng libimagequant
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake" \
  -DKRELT_BUILD_APP=OFF -DKRELT_BUILD_BENCH=OFF "$@"
