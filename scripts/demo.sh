#!/usr/bin/env bash
# demo.sh: starts the stand-in browser and Skeindle on a fresh workspace,
# plays the sample browsing session of demo/session.txt into it as the
# shim's datagrams, a page at a time, browses the bundled site (demo/site)
# with a doctored browser of the old kind through the real shim, lets the
# stand-in browser tell Skeindle which page it shows (the map follows it),
# then opens the map row by row with the keys a user would press. On a
# real display the window stays until it is closed; without one (under
# xvfb-run) a picture of the result is saved as build/demo/map.png.
set -euo pipefail
top="$(cd "$(dirname "$0")/.." && pwd)"
. "$top/scripts/wine.sh"
if [ "${1:-}" != "--inside" ]; then
  if [ -n "${DISPLAY:-}" ]; then bash "$0" --inside; else with_display bash "$0" --inside --picture; fi
  exit
fi
bin="$top/build/win64/bin"
mkdir -p "$top/build/demo"
cd "$top/build/demo"
rm -f demo.sk1
wine_start "$top/build/win64/wineprefix"
# The stand-in browser takes its commands from a pipe; Skeindle finds it
# when it starts.
rm -f browser.in
mkfifo browser.in
"$WINE" "$bin/testbrowser.exe" --service mosaic --log browser.log < browser.in &
browser=$!
exec 3> browser.in
sleep 2
# A new workspace first, so that the program does not ask about the name.
"$WINE" "$bin/skeind.exe" demo.sk1 &
program=$!
"$WINE" "$bin/uiprobe.exe" press Yes -timeout 20000 >/dev/null
"$WINE" "$bin/uiprobe.exe" window -class "QMR Skeindle" -timeout 20000 >/dev/null
"$WINE" "$bin/shimsend.exe" "$top/demo/session.txt"
# Then a browsing session of the bundled site (demo/site) through a browser
# of the old kind, doctored to load the shim beside it, as Add Web Browser
# would doctor it: the map fills as it reads, a page every half second.
rm -f port.txt
"$WINE" "$bin/sitehost.exe" --root "Z:$top/demo/site" --port 0 --port-file "Z:$PWD/port.txt" >/dev/null &
site=$!
mkdir -p oldweb
cp "$bin/retrobrowser.exe" oldweb/
rm -f "oldweb/doctored retrobrowser.exe"
"$WINE" "$bin/doctor.exe" "Z:$PWD/oldweb/retrobrowser.exe" "Z:$PWD/oldweb/doctored retrobrowser.exe"
cp "$top/build/win64/shim/qmrsk32.dll" oldweb/
for _ in $(seq 100); do [ -s port.txt ] && break; sleep 0.1; done
port=$(tr -d '\r\n ' <port.txt)
(cd oldweb && "$WINE" "doctored retrobrowser.exe" --keep-alive --pause 500 --log fetched.txt \
  "http://127.0.0.1:$port/index.html") || echo "demo: the old browser did not fetch every page" >&2
kill "$site" 2>/dev/null || true
# The browser shows a page of the session: the map makes it the open page.
echo "echo http://www.quillmere.example/products/skeindle.html text/html 1" >&3
sleep 2
# Show the links of each row in turn, from the visited sites down.
"$WINE" "$bin/uiprobe.exe" keys "$(printf 'right down %.0s' $(seq 30)) home" -class "QMR Skeindle"
if [ "${2:-}" = "--picture" ]; then
  sleep 2
  import -window root -crop 520x392+40+48 "$top/build/demo/map.png"
  echo "demo: the map is in build/demo/map.png"
  "$WINE" "$bin/uiprobe.exe" close -class "QMR Skeindle" >/dev/null || true
  wait "$program" || true
else
  wait "$program" || true
fi
echo exit >&3
exec 3>&-
wait "$browser" || true
rm -f browser.in
[ "${2:-}" = "--picture" ] && wine_stop || true
