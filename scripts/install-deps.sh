#!/usr/bin/env bash
# Installs the Debian packages Krelt needs to build, test and run, skipping
# those already present. Usage: install-deps.sh [extra package...]
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config libspng-dev libimagequant-dev
  libgtest-dev libgmock-dev libbenchmark-dev libcli11-dev
  qt6-base-dev qt6-base-dev-tools libgl-dev
  xvfb xauth
  dpkg-dev lintian desktop-file-utils
  lhasa  # an independent lh5 decoder the tests check streams with
  "$@"
)

missing=()
for package in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$package")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=()
if [ "$(id -u)" -ne 0 ]; then
  sudo=(sudo)
fi
echo "Installing: ${missing[*]}"
"${sudo[@]}" apt-get update -qq
"${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}"
