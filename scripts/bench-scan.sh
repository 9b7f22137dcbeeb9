#!/usr/bin/env bash
# bench-scan.sh [ROUNDS]: the page scanner beside libxml2's HTML parser (and
# gumbo, when libgumbo-dev is installed) and a memchr('<') pass, all over
# the same real pages in the same run (bench/scan_bench.cpp); see
# bench/README.md.
#
# SCAN_BENCH_FILES (2000 by default) is how many pages the corpus holds.
# The corpus is made once, from the HTML files readable on this machine,
# into build/scan-corpus/; remove it to make it again.
set -euo pipefail
top="$(cd "$(dirname "$0")/.." && pwd)"
cd "$top"

rounds=${1:-7}
files=${SCAN_BENCH_FILES:-2000}
corpus=$top/build/scan-corpus
dir=$top/build/bench

if [ ! -f "$dir/CMakeCache.txt" ]; then
  cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=Release -DSKEIND_SANITIZE=OFF \
        -DSKEIND_TESTS=OFF -DSKEIND_BENCH=ON >/dev/null
fi
cmake "$dir" >/dev/null
cmake --build "$dir" -j2 --target scan_bench -- --no-print-directory >/dev/null

# The corpus: pages of 1 KiB to 1 MiB found outside the project's trees and
# the temporary directories, sorted by path and picked evenly, so that
# every documentation tree found has its share.
make_corpus() {
  local list
  list=$(mktemp)
  echo "bench-scan: looking for HTML files on this machine..."
  find / -xdev \( -path /proc -o -path /sys -o -path /dev -o -path /tmp -o -path /work \
                  -o -path "$top" \) -prune \
       -o -type f \( -name '*.html' -o -name '*.htm' \) -size +1k -size -1024k -readable \
       -print 2>/dev/null | LC_ALL=C sort >"$list"
  local found
  found=$(wc -l <"$list")
  rm -rf "$corpus"
  mkdir -p "$corpus"
  local i=0 f
  while IFS= read -r f; do
    i=$((i + 1))
    cp "$f" "$corpus/$(printf '%05d' "$i").html"
  done < <(awk -v n="$found" -v want="$files" \
             'BEGIN { step = n > want ? n / want : 1; next_pick = 0 }
              NR - 1 >= next_pick { print; next_pick += step }' "$list" | head -n "$files")
  rm -f "$list"
  echo "$i" >"$corpus/.count"
  echo "$files" >"$corpus/.wanted"
}

if [ "$(cat "$corpus/.wanted" 2>/dev/null)" != "$files" ]; then make_corpus; fi
[ "$(cat "$corpus/.count")" -gt 0 ] || { echo "bench-scan: no HTML files found" >&2; exit 1; }

"$dir/bin/scan_bench" --rounds "$rounds" "$corpus"/*.html
