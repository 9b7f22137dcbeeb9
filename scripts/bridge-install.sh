#!/usr/bin/env bash
# Installs the bridge between today's browsers and Skeindle for the current
# user on Linux, where Skeindle runs under Wine:
#  - a launcher that starts skeindbridge.exe under Wine, in the program's
#    Wine prefix (DDE only reaches programs of the same Wine server);
#  - the native-messaging manifests that name the launcher, where Chromium,
#    Chrome and Firefox look for them (or, with --chromium-profile DIR, in
#    that profile's NativeMessagingHosts folder only);
#  - the bridge's entry in Skeindle's browser list, tried before the others.
# On Windows, run `skeindbridge.exe --install` instead: it writes the same
# manifests beside itself and the registry keys the browsers read.
#
# Usage: bridge-install.sh [--build DIR] [--prefix WINEPREFIX]
#                          [--chromium-profile DIR] [--browser-command CMD]
#                          [--log FILE] [--port N]
# --build: the Windows build holding bin/skeindbridge.exe (build/win64);
# --prefix: the Wine prefix Skeindle runs in (BUILD/wineprefix);
# --browser-command: what Start Web Browser runs to start the browser;
# --log: the host writes every DDE transaction to FILE;
# --port: the UDP port of the datagrams (Skeindle's, 16659, unless testing).
set -euo pipefail
top="$(cd "$(dirname "$0")/.." && pwd)"
. "$top/scripts/wine.sh"

build="$top/build/win64"
prefix=""
profile=""
command=""
extra=""
while [ $# -gt 0 ]; do
  case "$1" in
    --build) build="$(cd "$2" && pwd)"; shift 2 ;;
    --prefix) prefix="$2"; shift 2 ;;
    --chromium-profile) profile="$2"; shift 2 ;;
    --browser-command) command="$2"; shift 2 ;;
    --log) log="$2"; extra+=" --log 'Z:${2//\//\\}'"; shift 2 ;;
    --port) extra+=" --port $2"; shift 2 ;;
    *) echo "bridge-install: unknown option $1" >&2; exit 2 ;;
  esac
done
prefix=${prefix:-$build/wineprefix}
host="$build/bin/skeindbridge.exe"
if [ ! -f "$host" ]; then
  echo "bridge-install: $host is missing; build it first (make win64)" >&2
  exit 1
fi

# The launcher: the browser starts it with the pipe as its standard input
# and output, and passes arguments the host passes over.
launcher="$build/bin/skeindbridge-launcher"
{
  echo '#!/bin/sh'
  echo "# Starts the Skeindle bridge under Wine for the browser (scripts/bridge-install.sh)."
  echo "export WINEPREFIX='$prefix'"
  echo 'export WINEDEBUG=-all'
  echo 'export WINEDLLOVERRIDES="mscoree,mshtml="'
  echo "exec $WINE '$host'$extra \"\$@\" 2>/dev/null"
} >"$launcher"
chmod +x "$launcher"

name=skeindle_bridge
chromium_manifest() {
  cat <<JSON
{
  "name": "$name",
  "description": "Skeindle's bridge to this browser",
  "path": "$launcher",
  "type": "stdio",
  "allowed_origins": ["chrome-extension://nogplmelfmokkoccgiohdkfllnkjhfdh/"]
}
JSON
}
firefox_manifest() {
  cat <<JSON
{
  "name": "$name",
  "description": "Skeindle's bridge to this browser",
  "path": "$launcher",
  "type": "stdio",
  "allowed_extensions": ["bridge@skeindle.invalid"]
}
JSON
}

if [ -n "$profile" ]; then
  dirs=("$profile/NativeMessagingHosts")
else
  dirs=("$HOME/.config/chromium/NativeMessagingHosts" "$HOME/.config/google-chrome/NativeMessagingHosts")
  mkdir -p "$HOME/.mozilla/native-messaging-hosts"
  firefox_manifest >"$HOME/.mozilla/native-messaging-hosts/$name.json"
  echo "bridge-install: Firefox manifest in $HOME/.mozilla/native-messaging-hosts"
fi
for d in "${dirs[@]}"; do
  mkdir -p "$d"
  chromium_manifest >"$d/$name.json"
  echo "bridge-install: Chromium manifest in $d"
done

# Skeindle's browser list lives in the prefix's registry.
if [ ! -d "$prefix" ]; then wine_start "$prefix"; fi
args=(--register)
[ -n "$command" ] && args+=(--command "$command")
WINEPREFIX="$prefix" WINEDEBUG=-all "$WINE" "$host" "${args[@]}" </dev/null >/dev/null 2>&1
echo "bridge-install: the bridge is in Skeindle's browser list (prefix $prefix)"
