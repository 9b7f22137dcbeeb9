#!/usr/bin/env bash
# Skeindle with today's browser, end to end: Debian's chromium, headless,
# with the extension loaded and the bridge installed by
# scripts/bridge-install.sh into a throw-away profile, browses the site in
# tests/bridge/site served on loopback, while skeind.exe runs under Wine on
# a fresh workspace. Afterwards the workspace holds every page with its
# title, content type and links exactly as tests/bridge/expected_map.txt
# says (read with the store's own reader, tools/mapdump); the map showed
# the browser's page; and Open in the map made the browser fetch the page.
# Needs the win64 build. Usage: chromium_test.sh [REPORT.xml]
set -uo pipefail
top="$(cd "$(dirname "$0")/../.." && pwd)"
. "$top/scripts/wine.sh"
. "$top/tests/bridge/browser_test_support.sh"
report=${1:-}
# The program's windows and its DDE need a display.
if [ -z "${DISPLAY:-}" ]; then exec xvfb-run -a -s '-screen 0 1024x768x24' bash "$0" "$@"; fi

need_package chromium
start_wine_and_site
profile=$work/profile
bash "$top/scripts/bridge-install.sh" --build "$build" --chromium-profile "$profile" --log "$work/host.log" \
  >"$work/install.log" 2>&1
check BridgeInstalls $? "bridge-install.sh failed: $(cat "$work/install.log")"

# The browser first, so that the program finds the bridge as it starts.
chromium --headless=new --no-sandbox --no-first-run --user-data-dir="$profile" \
  --load-extension="$top/bridge/extension" --remote-debugging-port=0 about:blank \
  >"$work/chromium.log" 2>&1 &
browser_pid=$!
wait_for "grep -q '^ready' '$work/host.log' 2>/dev/null" 30
check BrowserStartsTheBridge $? "the bridge did not start: $(tail -3 "$work/chromium.log")"
debug_port=""
wait_for "[ -s '$profile/DevToolsActivePort' ]" 20 && debug_port=$(head -1 "$profile/DevToolsActivePort")

start_program
wait_for "grep -q 'WWW_RegisterURLEcho' '$work/host.log'" 20
check ProgramFindsTheBridge $? "the program never registered for URL echoes"

# A new tab per page, as a user clicking through would show them.
for page in index.html about.html frames.html gallery.html form.html old.html "search.html?q=skein"; do
  curl -s -X PUT "http://127.0.0.1:$debug_port/json/new?$site/$page" >/dev/null
  wait_for "grep -qF '\"type\":\"page\",\"method\":\"GET\",\"url\":\"$site/${page/old.html/moved.html}\"' '$work/host.log'" 20 ||
    echo "  no report of $page"
done
sleep 2  # the last datagrams and echoes reach the program

# The URL echo made the browser's page the map's open page.
wait_for "probe status -class 'QMR Skeindle' | grep -qF '$site/search.html?q=skein'" 10
check MapShowsThePageTheBrowserShows $? "the status bar says: $(probe status -class 'QMR Skeindle')"

# Open in the map: the first other page of the site below the selected
# row, opened in the browser.
chosen=""
for ((i = 0; i < 12; i++)); do
  probe keys "down" -class 'QMR Skeindle' >/dev/null
  chosen=$(probe status -class 'QMR Skeindle' | tr -d '\r')
  [ "$chosen" = "$site/search.html?q=skein" ] && continue
  case "$chosen" in "$site"/?*) break ;; esac
done
echo "  Open on $chosen"
path=${chosen#"$site"}
before=$(grep -cxF "GET $path" "$work/site.log")
probe command 36 -class 'QMR Skeindle' >/dev/null
wait_for "[ \$(grep -cxF 'GET $path' '$work/site.log') -gt $before ]" 15
check OpenFromTheMapNavigatesTheBrowser $? "no new fetch of '$chosen' after Open (site log: $(tail -3 "$work/site.log"))"

stop_program
kill "$browser_pid" 2>/dev/null
wait_for "grep -q '^exited' '$work/host.log'" 20
check BridgeEndsWithTheBrowser $? "the bridge is still running after the browser closed"

compare_map "$top/tests/bridge/expected_map.txt"
check PagesReachTheWorkspaceAsTheSiteSays $? "the map differs from the site:
$map_diff"

finish ChromiumBridge "$report"
