#!/usr/bin/env bash
# Starts skeind.exe under Wine on the default workspace of the directory
# `make run` was called from (arguments go to the program). With a display
# the program runs until its window is closed. Without one it runs in a
# virtual display and nobody can answer it, so this script does: it prints
# the text of every message box the program shows, answers Yes when asked
# whether to create a workspace file (the name was given, or is the
# default), No to any other question, Cancel to the offer to start a
# browser (and to any other OK or Cancel question) and OK to the rest;
# then it saves a picture of the main window as build/run.png and closes
# it again.
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
# bash -c takes the word after the script as $0: the top of the tree. The
# program's arguments are $1 onwards.
with_display bash -c '
  top="$0"
  . "$top/scripts/wine.sh"
  . "$top/scripts/run-unattended.sh"
  wine_start "$top/build/win64/wineprefix"
  "$WINE" "$top/build/win64/bin/skeind.exe" "$@" &
  program=$!
  run_unattended "$program" "$top/build/win64/bin/uiprobe.exe" "$top/build/run.png"
  code=0
  wait "$program" || code=$?
  echo "run: skeind.exe ended with exit code $code"
  wine_stop' "$top" "$@" || true
