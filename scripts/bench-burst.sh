#!/usr/bin/env bash
# bench-burst.sh [ROUNDS]: the loss curve of skeind.exe under Wine: bursts
# of a site's pages sent as fast as loopback takes them and at fixed rates,
# the pages that reached the workspace counted (scripts/burst.py curve;
# bench/README.md). BURST_SIZES and BURST_RATES override the defaults.
set -euo pipefail
# The Wine server must start with a display to draw on, or the program's
# windows never come up: the whole script runs inside one.
if [ -z "${DISPLAY:-}" ]; then exec xvfb-run -a -s '-screen 0 1024x768x24' bash "$0" "$@"; fi
top="$(cd "$(dirname "$0")/.." && pwd)"
cd "$top"
. scripts/wine.sh

rounds=${1:-3}
. scripts/burst-tools.sh build/bench -DCMAKE_BUILD_TYPE=Release -DSKEIND_SANITIZE=OFF -DSKEIND_TESTS=OFF -DSKEIND_BENCH=ON

trap wine_stop EXIT
wine_start "$top/build/win64/wineprefix"
args=(curve --rounds "$rounds" --out "$top/build/burst-curve.tsv")
[ -n "${BURST_SIZES:-}" ] && args+=(--sizes "$BURST_SIZES")
[ -n "${BURST_RATES:-}" ] && args+=(--rates "$BURST_RATES")
WINE=$WINE BURST_TOOLS=$top/build/bench/bin with_display python3 scripts/burst.py "${args[@]}"
