#!/usr/bin/env bash
# demo.sh: opens the map window on a fresh workspace and plays the sample
# browsing session of demo/session.txt into it as the shim's datagrams, a
# page at a time, so the pages can be watched arriving. On a real display
# the window stays until it is closed; without one (under xvfb-run) a
# picture of the result is saved as build/demo/map.png.
set -euo pipefail
top="$(cd "$(dirname "$0")/.." && pwd)"
. "$top/scripts/wine.sh"
if [ "${1:-}" != "--inside" ]; then
  if [ -n "${DISPLAY:-}" ]; then bash "$0" --inside; else with_display bash "$0" --inside --picture; fi
  exit
fi
mkdir -p "$top/build/demo"
rm -f "$top/build/demo/demo.sk1"
wine_start "$top/build/win64/wineprefix"
"$WINE" "$top/build/win64/bin/graphhost.exe" "$top/build/demo/demo.sk1" &
host=$!
sleep 3
"$WINE" "$top/build/win64/bin/shimsend.exe" "$top/demo/session.txt"
if [ "${2:-}" = "--picture" ]; then
  sleep 2
  import -window root -crop 640x480+0+0 "$top/build/demo/map.png"
  echo "demo: the map is in build/demo/map.png"
  wine_stop
else
  wait "$host" || true
fi
