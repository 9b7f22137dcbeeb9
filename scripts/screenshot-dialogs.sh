#!/usr/bin/env bash
# screenshot-dialogs.sh OUT_DIR: pictures of the About box, the view options
# sheet, the annotation dialog and the browser dialogues (about.png,
# view-options.png, annotation.png, start-browser.png, add-browser.png),
# each shown by tools/dialoghost under Wine in a virtual desktop, which
# draws the windows' frames. The annotation is made on a
# page of demo/session.txt, played into a fresh workspace. Needs the win64
# build (or BUILD=<build dir>).
set -euo pipefail
top="$(cd "$(dirname "$0")/.." && pwd)"
. "$top/scripts/wine.sh"
build="$(realpath -m "${BUILD:-$top/build/win64}")"
if [ "${1:-}" != "--inside" ]; then
  with_display bash "$0" --inside "$(realpath -m "$1")"
  exit
fi
out="$2"
mkdir -p "$out"
wine_start "$build/wineprefix"
work=$(mktemp -d)
trap 'wine_stop; rm -rf "$work"' EXIT

# The sample session, played into a new workspace by the map window.
"$WINE" "$build/bin/graphhost.exe" "$work/demo.sk1" "$top/demo/session.txt" >/dev/null 2>&1 &
sleep 6
kill $! 2>/dev/null || true
wait 2>/dev/null || true

# shot NAME ARGS...: one dialog in a 640 x 480 desktop, cut to the dialog
# (the desktop's plain background trimmed away).
shot() {
  local name="$1"
  shift
  "$WINE" explorer /desktop=shots,640x480 "$build/bin/dialoghost.exe" "$@" >/dev/null 2>&1 &
  local pid=$!
  sleep 5
  import -window root -crop 640x480+0+0 "$work/$name.png"
  kill $pid 2>/dev/null || true
  "$WINESERVER" -k >/dev/null 2>&1 || true
  wait 2>/dev/null || true
  wine_start "$build/wineprefix"
  convert "$work/$name.png" -trim +repage "$out/$name.png"
}

# The shim's test library on the search path: the box shows its version.
WINEPATH="Z:$build/tests/shim" shot about about
shot view-options options
shot annotation annotation "Z:$work/demo.sk1" http://www.yarnworks.example/guide/skeins.html \
  "Winding by hand" $'Wind over two chairs set apart, then tie the skein in three places.\r\nSee also the encyclopedia page.'
shot start-browser start-browser "Stand-in browser" "Stand-in browser, second copy"
shot add-browser add-browser
