#!/usr/bin/env bash
# screenshot-map.sh OUT.png: plays demo/session.txt into a new workspace,
# shows it with tools/graphhost under Wine in a virtual display, and saves a
# picture of the window. Needs the win64 build.
set -euo pipefail
top="$(cd "$(dirname "$0")/.." && pwd)"
. "$top/scripts/wine.sh"
if [ "${1:-}" != "--inside" ]; then
  with_display bash "$0" --inside "$(realpath -m "$1")"
  exit
fi
out="$2"
wine_start "$top/build/win64/wineprefix"
work=$(mktemp -d)
"$WINE" "$top/build/win64/bin/graphhost.exe" "$work/demo.sk1" "$top/demo/session.txt" &
sleep 6
import -window root -crop 640x480+0+0 "$out"
wine_stop
rm -rf "$work"
