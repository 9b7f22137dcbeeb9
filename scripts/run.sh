#!/usr/bin/env bash
# Starts skeind.exe under Wine on the default workspace of the directory
# `make run` was called from.
set -euo pipefail
here=$PWD
top="$(cd "$(dirname "$0")/.." && pwd)"
. "$top/scripts/wine.sh"
wine_start "$top/build/win64/wineprefix"
cd "$here"
with_display "$WINE" "$top/build/win64/bin/skeind.exe" "$@" || true
