#!/usr/bin/env bash
# Installs whatever the build and the tests need that this Debian machine
# lacks. Safe to run again: it does nothing when all is present.
set -euo pipefail

packages=(
  cmake make g++ clang git python3
  libgtest-dev libbenchmark-dev libsqlite3-dev liblmdb-dev libxml2-dev
  g++-mingw-w64-x86-64 g++-mingw-w64-i686
  wine wine64 xvfb xauth imagemagick
  wget time
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

echo "setup: installing ${missing[*]}"
sudo=""
if [ "$(id -u)" -ne 0 ]; then sudo="sudo"; fi
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
