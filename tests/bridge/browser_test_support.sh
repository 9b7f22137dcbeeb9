# Sourced by the browser tests (tests/bridge/*_test.sh): the loopback site,
# skeind.exe under Wine on a fresh workspace, waiting, checking and the
# report. Expects $top and scripts/wine.sh sourced.

build="$top/build/win64"
work=$(mktemp -d)
passed=0
failures=()
cases_xml=""
program_pid=""
site_pid=""

cleanup() {
  [ -n "$program_pid" ] && kill "$program_pid" 2>/dev/null
  [ -n "$site_pid" ] && kill "$site_pid" 2>/dev/null
  jobs -p | xargs -r kill 2>/dev/null
  # The prefix is shared with the other tests: the bridge leaves Skeindle's
  # browser list, or every later start would take it for the user's browser.
  WINEDEBUG=-all "$WINE" reg delete 'HKLM\Software\Quillmere Systems\Skeindle\1.0\browsers\~skeindbridge' /f \
    >/dev/null 2>&1
  wine_stop
  rm -rf "$work"
}
trap cleanup EXIT

# need_package NAME: installs a Debian package the test needs, once.
need_package() {
  dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q 'install ok installed' && return
  local sudo=""
  [ "$(id -u)" -ne 0 ] && sudo=sudo
  echo "installing $1"
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "$1" >/dev/null 2>&1 ||
    { $sudo apt-get update -qq && DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "$1" >/dev/null; }
}

# wait_for CONDITION SECONDS: true once CONDITION (shell text) holds.
wait_for() {
  local i
  for ((i = 0; i < $2 * 5; i++)); do
    eval "$1" && return 0
    sleep 0.2
  done
  return 1
}

# check NAME STATUS MESSAGE
check() {
  local name=$1 ok=$2 message=$3
  if [ "$ok" = 0 ]; then
    passed=$((passed + 1))
    echo "[       OK ] $name"
    cases_xml+="<testcase name=\"$name\" classname=\"${suite:-Bridge}\"/>"
  else
    failures+=("$name")
    echo "[  FAILED  ] $name: $message"
    message=${message//&/&amp;}
    message=${message//</&lt;}
    message=${message//\"/&quot;}
    cases_xml+="<testcase name=\"$name\" classname=\"${suite:-Bridge}\"><failure message=\"$message\"/></testcase>"
  fi
}

# finish SUITE REPORT: writes the report and exits with the outcome.
finish() {
  if [ -n "$2" ]; then
    mkdir -p "$(dirname "$2")"
    printf '<?xml version="1.0"?><testsuites><testsuite name="%s">%s</testsuite></testsuites>\n' \
      "$1" "$cases_xml" >"$2"
  fi
  echo "$1: $passed passed, ${#failures[@]} failed"
  [ ${#failures[@]} = 0 ]
  exit
}

probe() { "$WINE" "$build/bin/uiprobe.exe" "$@" 2>/dev/null; }

# The prefix's Wine server, and the site on loopback ($site, its log in
# $work/site.log).
start_wine_and_site() {
  wine_stop
  wine_start "$build/wineprefix"
  python3 "$top/tests/bridge/site_server.py" "$top/tests/bridge/site" "$work/port" "$work/site.log" &
  site_pid=$!
  wait_for "[ -s '$work/port' ]" 10
  site="http://127.0.0.1:$(cat "$work/port")"
}

# skeind.exe on a new default.sk1 in $work, up with its main window.
start_program() {
  (cd "$work" && exec "$WINE" "$build/bin/skeind.exe" >/dev/null 2>&1) &
  program_pid=$!
  probe window -class 'QMR Skeindle' -timeout 30000 >/dev/null
  check ProgramStarts $? "no main window"
}

stop_program() {
  probe close -class 'QMR Skeindle' >/dev/null
  wait_for "! kill -0 $program_pid 2>/dev/null" 20
  program_pid=""
}

# compare_map EXPECTED: the workspace's pages from the site, with the
# site's address written as SITE (its host and port as HOST), beside
# EXPECTED; the differences in $map_diff.
compare_map() {
  local dump
  dump=$("$WINE" "$build/bin/mapdump.exe" "Z:${work//\//\\}\\default.sk1" "$site/" 2>/dev/null | tr -d '\r')
  echo "$dump" | sed -e "s|$site|SITE|g" -e "s|${site#http://}|HOST|g" >"$work/map.txt"
  map_diff=$(diff "$1" "$work/map.txt")
}
