#!/usr/bin/env bash
# bench-fetch.sh [ROUNDS]: the program's own fetching (bench/fetch_bench.cpp,
# under Wine) beside wget, both fetching the same few thousand HTML pages
# from the same loopback server in the same run, round by round in turn so
# that a change in the machine's load falls on both. Prints a table of the
# rounds with the median and the spread; see bench/README.md.
#
# FETCH_BENCH_FILES (3000 by default) is how many pages the corpus holds.
# The corpus is made once, from the HTML files readable on this machine,
# into build/fetch-corpus/; remove it to make it again.
set -euo pipefail
top="$(cd "$(dirname "$0")/.." && pwd)"
cd "$top"
. scripts/wine.sh

rounds=${1:-5}
files=${FETCH_BENCH_FILES:-3000}
corpus=$top/build/fetch-corpus
work=$top/build/fetch-bench
bin=$top/build/win64/bin

need() { command -v "$1" >/dev/null || { echo "bench-fetch: $1 is needed" >&2; exit 1; }; }
need wget
need python3
[ -x /usr/bin/time ] || { echo "bench-fetch: /usr/bin/time is needed (package time)" >&2; exit 1; }

# Only the benchmark's own target once the tree is configured: a full build
# on a shared machine would time the other work too.
if [ -f build/win64/CMakeCache.txt ]; then
  cmake build/win64 >/dev/null
  cmake --build build/win64 -j2 --target fetch_bench -- --no-print-directory >/dev/null
else
  bash scripts/build.sh win64
fi

# ---- The corpus: real pages, under numbered names so that URLs are simple.
make_corpus() {
  local list=$work/found.txt
  echo "bench-fetch: looking for HTML files on this machine..."
  # 1 KiB to 1 MiB: real pages, none that is mostly one huge table. The
  # project's own trees and the temporary directories are left out.
  find / -xdev \( -path /proc -o -path /sys -o -path /dev -o -path /tmp -o -path /work \
                  -o -path "$top" \) -prune \
       -o -type f -name '*.html' -size +1k -size -1024k -readable -print 2>/dev/null | LC_ALL=C sort >"$list"
  local found
  found=$(wc -l <"$list")
  if [ "$found" -lt 2000 ]; then
    echo "bench-fetch: only $found HTML files found; using them all" >&2
  fi
  rm -rf "$corpus"
  mkdir -p "$corpus"
  # Evenly spread over the sorted list, so that every tree found has its share.
  awk -v n="$found" -v want="$files" 'BEGIN { step = n > want ? n / want : 1; next_pick = 0 }
       NR - 1 >= next_pick { print; next_pick += step }' "$list" |
    head -n "$files" >"$work/picked.txt"
  local i=0 f
  while IFS= read -r f; do
    i=$((i + 1))
    cp "$f" "$corpus/$(printf '%05d' "$i").html"
  done <"$work/picked.txt"
  echo "$i" >"$corpus/.count"
  echo "$files" >"$corpus/.wanted"
}

mkdir -p "$work"
if [ "$(cat "$corpus/.wanted" 2>/dev/null)" != "$files" ]; then make_corpus; fi
count=$(cat "$corpus/.count")
[ "$count" -gt 0 ] || { echo "bench-fetch: no HTML files found on this machine" >&2; exit 1; }
corpus_mb=$(du -sb --exclude=.count --exclude=.wanted "$corpus" | awk '{ printf "%.1f", $1 / 1e6 }')

# ---- The server: Python's threaded file server on a free loopback port.
server_pid=
prefix_started=
cleanup() {
  [ -n "$server_pid" ] && kill "$server_pid" 2>/dev/null || true
  [ -n "$prefix_started" ] && wine_stop
  rm -rf "$work/wget"
}
trap cleanup EXIT

python3 -u -m http.server 0 --bind 127.0.0.1 --directory "$corpus" >"$work/server.out" 2>/dev/null &
server_pid=$!
port=
for _ in $(seq 100); do
  port=$(sed -n 's/.* port \([0-9]*\) .*/\1/p' "$work/server.out" | head -n 1)
  [ -n "$port" ] && break
  sleep 0.1
done
[ -n "$port" ] || { echo "bench-fetch: the server did not start" >&2; exit 1; }
for i in $(seq "$count"); do printf 'http://127.0.0.1:%s/%05d.html\n' "$port" "$i"; done >"$work/urls.txt"
: >"$work/empty.txt"

# ---- Wine, and its server's CPU time: sockets and window messages pass
# through it, so it is part of what our side costs.
wine_start "$top/build/win64/wineprefix"
prefix_started=1
ws_pid=$(wineserver_pid)
[ -n "$ws_pid" ] || { echo "bench-fetch: cannot find the prefix's wineserver" >&2; exit 1; }

run_ours() {
  (cd "$work" && "$WINE" "$bin/fetch_bench.exe" --urls "$1" --workspace fetch-bench.sk1 --rounds 1)
}

# What a run with nothing to fetch costs the Wine server (the process's own
# start and end), taken off each round's figure below.
before=$(cpu_of "$ws_pid")
run_ours empty.txt >/dev/null || true
baseline=$(awk -v a="$before" -v b="$(cpu_of "$ws_pid")" 'BEGIN { print b - a }')

echo "bench-fetch: $count pages, $corpus_mb MB, http://127.0.0.1:$port/, $rounds rounds, load: $(cut -d' ' -f1-3 /proc/loadavg)"

# wget as it comes, and with one request per connection as our client
# makes them: against this server the first waits some milliseconds a page
# more (bench/README.md).
run_wget() {
  rm -rf "$work/wget"
  mkdir -p "$work/wget"
  /usr/bin/time -f '%e %U %S' -o "$work/wget.time" wget -q "$@" -i "$work/urls.txt" -P "$work/wget" || true
  local wall user sys files
  read -r wall user sys <"$work/wget.time"
  files=$(find "$work/wget" -type f | wc -l)
  echo "$wall $(awk -v u="$user" -v s="$sys" 'BEGIN { print u + s }') $files"
}

results=$work/results.tsv
printf 'round\twget_wall\twget_cpu\twget_files\twget_server\tnk_wall\tnk_cpu\tnk_files\tnk_server' >"$results"
printf '\tour_wall\tour_cpu\tour_pages\tour_mbps\twineserver_cpu\tour_server\n' >>"$results"
for r in $(seq "$rounds"); do
  s0=$(cpu_of "$server_pid")
  read -r w_wall w_cpu w_files <<<"$(run_wget)"
  s1=$(cpu_of "$server_pid")
  read -r n_wall n_cpu n_files <<<"$(run_wget --no-http-keep-alive)"
  s2=$(cpu_of "$server_pid")
  ws0=$(cpu_of "$ws_pid")
  out=$(run_ours urls.txt) || echo "bench-fetch: round $r of fetch_bench did not fetch every page" >&2
  ws1=$(cpu_of "$ws_pid")
  s3=$(cpu_of "$server_pid")
  line=$(grep '^round 1' <<<"$out")
  # "round 1 pages P/F  wall W s  R pages/s  M MB/s  cpu C s = ..."
  read -r o_pages o_wall o_mbps o_cpu <<<"$(awk '{ split($4, p, "/"); print p[1], $6, $10, $13 }' <<<"$line")"
  d() { awk -v a="$1" -v b="$2" -v z="${3:-0}" 'BEGIN { print b - a - z }'; }
  printf '%s\t%s\t%s\t%s\t%s\t%s\t%s\t%s\t%s\t%s\t%s\t%s\t%s\t%s\t%s\n' "$r" \
    "$w_wall" "$w_cpu" "$w_files" "$(d "$s0" "$s1")" \
    "$n_wall" "$n_cpu" "$n_files" "$(d "$s1" "$s2")" \
    "$o_wall" "$o_cpu" "$o_pages" "$o_mbps" "$(d "$ws0" "$ws1" "$baseline")" "$(d "$s2" "$s3")" >>"$results"
  echo "  round $r: wget ${w_wall} s, wget one request per connection ${n_wall} s, ours ${o_wall} s"
done
echo "bench-fetch: load afterwards: $(cut -d' ' -f1-3 /proc/loadavg); wineserver start-and-end baseline ${baseline} s"
echo "bench-fetch: rounds in $results"

python3 bench/fetch_summary.py "$results" "$count"
