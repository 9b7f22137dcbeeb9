#!/usr/bin/env bash
# Runs ctest in a Windows build directory under Wine. Call it with a display
# already set (scripts/test.sh puts it under Xvfb): Wine's desktop process
# starts with the prefix's first program and keeps the display it found, so
# booting the prefix without one would leave every window without a driver.
set -uo pipefail
top="$(cd "$(dirname "$0")/.." && pwd)"
. "$top/scripts/wine.sh"
build="$1"
shift
export WINEPREFIX="$build/wineprefix"
wine_stop  # a server left from a run without a display
wine_start "$build/wineprefix"
ctest --test-dir "$build" --output-on-failure "$@"
status=$?
wine_stop
exit $status
