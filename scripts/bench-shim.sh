#!/usr/bin/env bash
# bench-shim.sh [ROUNDS]: what the socket shim costs a browser. The old-kind
# browser (tools/retrobrowser) crawls the same generated site from a
# loopback server, undoctored and doctored with qmrsk32.dll beside it, in
# turn within each round (so that a change in the machine's load falls on
# both), with keep-alive and with one connection per request. A UDP
# listener stands where the program would and counts the datagrams.
# Prints each round and the medians; see bench/README.md.
#
# SHIM_BENCH_PAGES (300 by default): pages of the generated site;
# SHIM_BENCH_CRAWLS (5): crawls of the site in each run.
set -euo pipefail
top="$(cd "$(dirname "$0")/.." && pwd)"
cd "$top"
. scripts/wine.sh

rounds=${1:-5}
pages=${SHIM_BENCH_PAGES:-300}
# Crawls of the whole site per run, so that a run lasts long enough for the
# process's CPU time (10 ms ticks) to mean something.
crawls=${SHIM_BENCH_CRAWLS:-5}
work=$top/build/shim-bench
bin=$top/build/win64/bin
command -v python3 >/dev/null || { echo "bench-shim: python3 is needed" >&2; exit 1; }

if [ -f build/win64/CMakeCache.txt ]; then
  cmake build/win64 >/dev/null
  cmake --build build/win64 -j2 --target retrobrowser sitehost doctor qmrsk32 -- --no-print-directory >/dev/null
else
  bash scripts/build.sh win64
fi

# ---- The site: pages of some 20 KB of text, each linking to the next
# few pages, two images and a style sheet, like the pages of the time.
site=$work/site
if [ "$(cat "$site/.pages" 2>/dev/null)" != "$pages" ]; then
  rm -rf "$site"
  mkdir -p "$site"
  python3 - "$site" "$pages" <<'EOF'
import sys
site, n = sys.argv[1], int(sys.argv[2])
para = ("Skeins are wound by hand from the spinning wheel's bobbin, counted in "
        "turns of the niddy-noddy and tied in four places before washing. ") * 6
for i in range(n):
    links = "".join('<li><a href="p%04d.html">Page %d</a>\n' % ((i + k) % n, (i + k) % n) for k in range(1, 9))
    body = "".join("<p>%s</p>\n" % para for _ in range(25))
    with open("%s/p%04d.html" % (site, i), "w") as f:
        f.write('<html><head><title>Page %d</title><link rel="stylesheet" href="s.css"></head>\n'
                '<body><h1>Page %d</h1><img src="a.gif" alt="A"><img src="b.gif">\n<ul>%s</ul>\n%s'
                '<a href="index.html">Home</a></body></html>\n' % (i, i, links, body))
with open(site + "/index.html", "w") as f:
    f.write('<title>Bench site</title><a href="p0000.html">Start</a>\n')
gif = bytes.fromhex("47494638396101000100800000000000ffffff21f90401000000002c00000000010001000002024401003b")
for name in ("a.gif", "b.gif"):
    open(site + "/" + name, "wb").write(gif)
open(site + "/s.css", "w").write("body { color: black }\n")
EOF
  echo "$pages" >"$site/.pages"
fi

rm -f "$work/datagrams.txt"
server_pid=
counter_pid=
prefix_started=
cleanup() {
  [ -n "$server_pid" ] && kill "$server_pid" 2>/dev/null || true
  [ -n "$counter_pid" ] && kill "$counter_pid" 2>/dev/null || true
  [ -n "$prefix_started" ] && wine_stop
}
trap cleanup EXIT
export WINEDEBUG=-all
wine_start "$top/build/win64/wineprefix"
prefix_started=1

# ---- The doctored copy, the shim beside it.
mkdir -p "$work/browser"
cp "$bin/retrobrowser.exe" "$work/browser/retrobrowser.exe"
rm -f "$work/browser/doctored retrobrowser.exe"
"$WINE" "$bin/doctor.exe" "Z:$work/browser/retrobrowser.exe" "Z:$work/browser/doctored retrobrowser.exe"
cp "$top/build/win64/shim/qmrsk32.dll" "$work/browser/"

rm -f "$work/port.txt"
"$WINE" "$bin/sitehost.exe" --root "Z:$site" --port 0 --port-file "Z:$work/port.txt" >/dev/null 2>&1 &
server_pid=$!
for _ in $(seq 100); do [ -s "$work/port.txt" ] && break; sleep 0.1; done
port=$(tr -d '\r\n ' <"$work/port.txt")
[ -n "$port" ] || { echo "bench-shim: the site server did not start" >&2; exit 1; }

# The datagram counter: a count of datagrams and bytes, written on request.
python3 - "$work/datagrams.txt" <<'EOF' &
import signal, socket, sys
s = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
s.setsockopt(socket.SOL_SOCKET, socket.SO_RCVBUF, 4 << 20)
s.bind(("127.0.0.1", 16659))
count = size = 0
def write(*_):
    open(sys.argv[1], "w").write("%d %d\n" % (count, size))
signal.signal(signal.SIGUSR1, write)
write()  # ready: the script waits for this file
while True:
    try:
        data = s.recv(2048)
    except InterruptedError:
        continue
    count += 1
    size += len(data)
EOF
counter_pid=$!
for _ in $(seq 100); do [ -s "$work/datagrams.txt" ] && break; sleep 0.1; done
[ -s "$work/datagrams.txt" ] || { echo "bench-shim: UDP port 16659 is taken (is skeind running?)" >&2; exit 1; }
datagrams() {
  kill -USR1 "$counter_pid"
  sleep 0.3
  cat "$work/datagrams.txt"
}

ws_pid=$(wineserver_pid)
[ -n "$ws_pid" ] || { echo "bench-shim: cannot find the prefix's wineserver" >&2; exit 1; }

# One crawl: "fetches wall_ms cpu_ms wineserver_cpu_ms".
crawl() {
  local exe=$1
  shift
  rm -f "$work/browser/run.txt"
  local w0 w1
  w0=$(cpu_of "$ws_pid")
  (cd "$work/browser" && "$WINE" "$exe" "$@" --max 100000 --rounds "$crawls" --log run.txt "http://127.0.0.1:$port/index.html" >/dev/null)
  w1=$(cpu_of "$ws_pid")
  local done_line
  done_line=$(grep '^done ' "$work/browser/run.txt" | tr -d '\r')
  echo "$(awk '{ print $2, $3, $4 }' <<<"$done_line") $(awk -v a="$w0" -v b="$w1" 'BEGIN { print (b - a) * 1000 }')"
}

results=$work/results.tsv
printf 'round\tmode\tbrowser\tfetches\twall_ms\tcpu_ms\twineserver_ms\tdatagrams\tdatagram_bytes\n' >"$results"
echo "bench-shim: $pages pages, http://127.0.0.1:$port/, $rounds rounds, load: $(cut -d' ' -f1-3 /proc/loadavg)"
for r in $(seq "$rounds"); do
  for mode in keep-alive close; do
    opts=()
    [ "$mode" = keep-alive ] && opts=(--keep-alive)
    # Alternate which copy goes first.
    order=(plain doctored)
    [ $((r % 2)) = 0 ] && order=(doctored plain)
    for which in "${order[@]}"; do
      exe=retrobrowser.exe
      [ "$which" = doctored ] && exe="doctored retrobrowser.exe"
      read -r c0 b0 <<<"$(datagrams)"
      read -r fetches wall cpu ws <<<"$(crawl "$exe" "${opts[@]}")"
      read -r c1 b1 <<<"$(datagrams)"
      printf '%s\t%s\t%s\t%s\t%s\t%s\t%s\t%s\t%s\n' "$r" "$mode" "$which" "$fetches" "$wall" "$cpu" "$ws" \
        "$((c1 - c0))" "$((b1 - b0))" >>"$results"
      echo "  round $r $mode $which: $fetches fetches, $wall ms wall, $cpu ms cpu, $((c1 - c0)) datagrams"
    done
  done
done
echo "bench-shim: load afterwards: $(cut -d' ' -f1-3 /proc/loadavg)"

python3 - "$results" <<'EOF'
import csv, statistics, sys
rows = list(csv.DictReader(open(sys.argv[1]), delimiter="\t"))
print("\n| mode | copy | fetches | wall ms (median, min-max) | CPU ms | wineserver CPU ms | datagrams/page | bytes/datagram |")
print("|---|---|---|---|---|---|---|---|")
med = {}
for mode in ("keep-alive", "close"):
    for which in ("plain", "doctored"):
        rs = [r for r in rows if r["mode"] == mode and r["browser"] == which]
        if not rs:
            continue
        f = lambda k: [float(r[k]) for r in rs]
        wall, cpu, ws = f("wall_ms"), f("cpu_ms"), f("wineserver_ms")
        fetches = statistics.median(f("fetches"))
        dg = statistics.median(f("datagrams"))
        size = sum(f("datagram_bytes")) / max(1, sum(f("datagrams")))
        med[mode, which] = (statistics.median(wall), statistics.median(cpu), statistics.median(ws))
        print("| %s | %s | %d | %.0f (%.0f-%.0f) | %.0f | %.0f | %.2f | %.0f |" % (
            mode, which, fetches, statistics.median(wall), min(wall), max(wall), statistics.median(cpu),
            statistics.median(ws), dg / max(1, fetches), size))
print()
for mode in ("keep-alive", "close"):
    if (mode, "plain") in med and (mode, "doctored") in med:
        p, d = med[mode, "plain"], med[mode, "doctored"]
        print("%s: doctored/plain wall %+.1f%%, browser CPU %+.1f%%, browser+wineserver CPU %+.1f%%" % (
            mode, 100 * (d[0] / p[0] - 1), 100 * (d[1] / p[1] - 1), 100 * ((d[1] + d[2]) / (p[1] + p[2]) - 1)))
EOF
