#!/usr/bin/env bash
# Starts skeind.exe under Wine on the default workspace of the directory
# `make run` was called from.
set -euo pipefail
here=$PWD
top="$(cd "$(dirname "$0")/.." && pwd)"
. "$top/scripts/wine.sh"
cd "$here"
# The prefix is booted under the same display the program uses.
with_display bash -c '. "$0/scripts/wine.sh"; wine_start "$0/build/win64/wineprefix"; \
  "$WINE" "$0/build/win64/bin/skeind.exe" "$@"' "$top" "$@" || true
