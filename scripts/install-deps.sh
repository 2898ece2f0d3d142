#!/usr/bin/env bash
# Installs the Debian packages Krelt needs to build, test and run, skipping
# those already present.
# Usage: install-deps.sh [extra package...]
#        install-deps.sh --sources DIR SOURCE_PACKAGE...
# The second form unpacks Debian's source packages (for the libraries the
# Windows build compiles itself) into DIR/SOURCE_PACKAGE, once: a folder
# already there is kept. It adds a deb-src entry for the machine's release
# when apt has none.
set -euo pipefail

sudo=()
if [ "$(id -u)" -ne 0 ]; then
  sudo=(sudo)
fi

apt_install() {
  local missing=() package
  for package in "$@"; do
    if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed'; then
      missing+=("$package")
    fi
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  echo "Installing: ${missing[*]}"
  "${sudo[@]}" apt-get update -qq
  "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}"
}

# A deb-src entry for the release in /etc/os-release, from Debian's main
# archive, unless apt already has one.
add_source_entry() {
  if grep -Eqrs '^(deb-src|Types:.*deb-src)' /etc/apt/sources.list /etc/apt/sources.list.d; then
    return 0
  fi
  local codename
  codename=$(. /etc/os-release && echo "$VERSION_CODENAME")
  echo "Adding a deb-src entry for $codename"
  printf '%s\n' "Types: deb-src" "URIs: http://deb.debian.org/debian" "Suites: $codename" \
    "Components: main" "Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg" |
    "${sudo[@]}" tee /etc/apt/sources.list.d/krelt-deb-src.sources >/dev/null
  "${sudo[@]}" apt-get update -qq
}

# Unpacks each source package into DIR/PACKAGE through a temporary folder,
# so that an interrupted download leaves no half folder behind.
fetch_sources() {
  local dir=$1 package work
  shift
  mkdir -p "$dir"
  for package in "$@"; do
    [ -d "$dir/$package" ] && continue
    apt_install dpkg-dev
    add_source_entry
    work=$(mktemp -d "$dir/.fetch.XXXXXX")
    (cd "$work" && apt-get source -qq "$package")
    mv "$(find "$work" -mindepth 1 -maxdepth 1 -type d -name "$package-*")" "$dir/$package"
    rm -rf "$work"
  done
}

if [ "${1:-}" = "--sources" ]; then
  if [ $# -lt 3 ]; then
    echo "Usage: $0 --sources DIR SOURCE_PACKAGE..." >&2
    exit 2
  fi
  shift
  fetch_sources "$@"
  exit 0
fi

packages=(
  build-essential cmake ninja-build pkg-config libspng-dev libimagequant-dev
  libgtest-dev libgmock-dev libbenchmark-dev libcli11-dev
  qt6-base-dev qt6-base-dev-tools libgl-dev
  xvfb xauth
  dpkg-dev lintian desktop-file-utils
  lhasa  # an independent lh5 decoder the tests check streams with
  "$@"
)
apt_install "${packages[@]}"
