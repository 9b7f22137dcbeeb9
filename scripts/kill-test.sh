#!/usr/bin/env bash
# kill-test.sh [RUNS] [REPORT.xml]: ends skeind.exe under Wine with
# TerminateProcess at random moments of a burst and checks that every page
# acknowledged before the kill is there after the start-up check
# (scripts/burst.py kill). KILL_SEED repeats a run's random moments. The
# workspace is read by the native tools built with ASan and UBSan, so a
# check that reads outside the killed file fails loudly.
set -euo pipefail
# The Wine server must start with a display to draw on, or the program's
# windows never come up: the whole script runs inside one.
if [ -z "${DISPLAY:-}" ]; then exec xvfb-run -a -s '-screen 0 1024x768x24' bash "$0" "$@"; fi
top="$(cd "$(dirname "$0")/.." && pwd)"
cd "$top"
. scripts/wine.sh

runs=${1:-100}
report=${2:-}
. scripts/burst-tools.sh build/native -DCMAKE_BUILD_TYPE=Debug -DSKEIND_SANITIZE=ON

trap wine_stop EXIT
wine_start "$top/build/win64/wineprefix"
args=(kill --runs "$runs")
[ -n "${KILL_SEED:-}" ] && args+=(--seed "$KILL_SEED")
[ -n "$report" ] && args+=(--report "$report")
WINE=$WINE BURST_TOOLS=$top/build/native/bin with_display python3 scripts/burst.py "${args[@]}"
