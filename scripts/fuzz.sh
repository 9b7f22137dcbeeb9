#!/usr/bin/env bash
# fuzz.sh [SECONDS]: builds the libFuzzer targets with clang (build/fuzz),
# replays the saved findings under fuzz/regressions, then runs every target
# for SECONDS each (default 30) from its committed seeds. New inputs go to
# build/fuzz/work/TARGET, crashes to build/fuzz/artifacts/. fuzz/README.md
# tells how to run one target for longer.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-30}
dir=build/fuzz
if [ ! -f "$dir/CMakeCache.txt" ]; then
  CC=clang CXX=clang++ cmake -S . -B "$dir" -DSKEIND_FUZZ=ON -DSKEIND_TESTS=OFF -DSKEIND_SANITIZE=OFF >/dev/null
fi
cmake --build "$dir" -j "$(nproc 2>/dev/null || echo 2)" -- --no-print-directory
fuzz/run_regressions.sh "$dir"
mkdir -p "$dir/artifacts"
status=0
for target in "$dir"/bin/fuzz_*; do
  name=$(basename "$target")
  seeds=fuzz/corpus/${name#fuzz_}
  work="$dir/work/$name"
  mkdir -p "$work"
  echo "== $name for $seconds s"
  args=("$work")
  [ -d "$seeds" ] && args+=("$seeds")
  if ! "$target" -max_total_time="$seconds" -timeout=10 -print_final_stats=0 \
       -artifact_prefix="$dir/artifacts/$name-" "${args[@]}" >"$dir/$name.log" 2>&1; then
    echo "$name found a fault: see $dir/$name.log and $dir/artifacts/"
    status=1
  fi
  grep -E '^Done [0-9]+ runs' "$dir/$name.log" | tail -1 || true
done
exit $status
