#!/usr/bin/env bash
# Starts skeind.exe under Wine on the default workspace of the directory
# `make run` was called from (arguments go to the program). With a display
# the program runs until its window is closed. Without one it runs in a
# virtual display: a picture of its window is saved as build/run.png (or
# the text of any message box it shows is printed), and it is closed again.
set -euo pipefail
here=$PWD
top="$(cd "$(dirname "$0")/.." && pwd)"
. "$top/scripts/wine.sh"
cd "$here"
if [ -n "${DISPLAY:-}" ]; then
  # The prefix is booted under the same display the program uses.
  bash -c '. "$0/scripts/wine.sh"; wine_start "$0/build/win64/wineprefix"; \
    "$WINE" "$0/build/win64/bin/skeind.exe" "$@"' "$top" "$@" || true
  exit 0
fi
with_display bash -c '
  top="$0"; shift
  . "$top/scripts/wine.sh"
  wine_start "$top/build/win64/wineprefix"
  probe="$top/build/win64/bin/uiprobe.exe"
  "$WINE" "$top/build/win64/bin/skeind.exe" "$@" &
  program=$!
  if "$WINE" "$probe" window -class "QMR Skeindle" -timeout 20000 >/dev/null; then
    sleep 2
    import -window root -trim +repage "$top/build/run.png"
    echo "run: no display, so Skeindle ran in a virtual one; its window is in build/run.png"
    "$WINE" "$probe" close -class "QMR Skeindle" >/dev/null
  elif "$WINE" "$probe" msgbox -timeout 2000; then
    "$WINE" "$probe" press OK -timeout 1000 >/dev/null || "$WINE" "$probe" press No -timeout 1000 >/dev/null || true
  fi
  code=0
  wait "$program" || code=$?
  echo "run: skeind.exe ended with exit code $code"
  wine_stop' "$top" "$@" || true
