#!/usr/bin/env bash
# The same extension in Debian's firefox-esr, headless: installed into a
# throw-away profile (unsigned, as the ESR allows), with the bridge made
# known by scripts/bridge-install.sh under a throw-away home, it starts the
# host and reports a navigation, which arrives as the shim's datagrams.
# Needs the win64 build. Usage: firefox_test.sh [REPORT.xml]
set -uo pipefail
top="$(cd "$(dirname "$0")/../.." && pwd)"
. "$top/scripts/wine.sh"
. "$top/tests/bridge/browser_test_support.sh"
suite=FirefoxBridge
report=${1:-}
if [ -z "${DISPLAY:-}" ]; then exec xvfb-run -a -s '-screen 0 1024x768x24' bash "$0" "$@"; fi

need_package firefox-esr
start_wine_and_site
# The datagrams go to a port of this test's own, read by a listener here.
python3 - "$work/udp.port" "$work/udp.bin" <<'EOF' &
import socket, sys
s = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
s.bind(("127.0.0.1", 0))
open(sys.argv[1], "w").write(str(s.getsockname()[1]))
with open(sys.argv[2], "wb") as out:
    while True:
        out.write(s.recv(2048))
        out.flush()
EOF
wait_for "[ -s '$work/udp.port' ]" 10
export HOME="$work/home"
mkdir -p "$HOME"
bash "$top/scripts/bridge-install.sh" --build "$build" --log "$work/host.log" --port "$(cat "$work/udp.port")" \
  >"$work/install.log" 2>&1
[ -f "$HOME/.mozilla/native-messaging-hosts/skeindle_bridge.json" ]
check BridgeInstallsForFirefox $? "no manifest for Firefox: $(cat "$work/install.log")"

profile="$work/profile"
mkdir -p "$profile/extensions"
(cd "$top/bridge/extension" && python3 -m zipfile -c "$profile/extensions/bridge@skeindle.invalid.xpi" \
  manifest.json background.js popup.html popup.js lib)
cat >"$profile/user.js" <<'EOF'
user_pref("xpinstall.signatures.required", false);
user_pref("extensions.autoDisableScopes", 0);
user_pref("extensions.enabledScopes", 15);
user_pref("browser.shell.checkDefaultBrowser", false);
user_pref("datareporting.policy.dataSubmissionEnabled", false);
user_pref("browser.aboutwelcome.enabled", false);
EOF
firefox-esr --headless --no-remote --profile "$profile" "$site/wait.html" >"$work/firefox.log" 2>&1 &
browser_pid=$!
wait_for "grep -qF '\"type\":\"page\",\"method\":\"GET\",\"url\":\"$site/index.html\"' '$work/host.log' 2>/dev/null" 60
check FirefoxReportsANavigation $? "no report of the page: $(tail -3 "$work/host.log" 2>/dev/null)"
wait_for "grep -qa 'Welcome to the bridge site' '$work/udp.bin'" 5
check TheReportArrivesAsDatagrams $? "no datagram with the page's heading"
kill "$browser_pid" 2>/dev/null

finish FirefoxBridge "$report"
