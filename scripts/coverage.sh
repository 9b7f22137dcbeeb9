#!/usr/bin/env bash
# coverage.sh OUT.json [ctest args...]: build the native tests with gcov
# counters, run them, and write which lines and branches of the program's
# own sources they reached. Used to show that a change to the tests loses
# nothing they exercised (compare two runs with coverage_diff.py).
set -euo pipefail
cd "$(dirname "$0")/.."
out=$(realpath -m "$1"); shift
dir=build/coverage
launcher=()
if command -v ccache >/dev/null; then
  launcher=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
  export CCACHE_BASEDIR="$PWD"
fi
if [ ! -f "$dir/CMakeCache.txt" ]; then
  cmake -S . -B "$dir" "${launcher[@]}" -DCMAKE_BUILD_TYPE=Debug \
    -DCMAKE_C_FLAGS=--coverage -DCMAKE_CXX_FLAGS=--coverage \
    -DCMAKE_EXE_LINKER_FLAGS=--coverage -DCMAKE_SHARED_LINKER_FLAGS=--coverage \
    >/dev/null
fi
cmake --build "$dir" -j "${SKEIND_JOBS:-2}" -- --no-print-directory >/dev/null
find "$dir" -name '*.gcda' -delete
ctest --test-dir "$dir" --output-on-failure "$@" >/dev/null
gcovr --root . --object-directory "$dir" \
  --filter 'store/' --filter 'app/' --filter 'observe/' --filter 'browser/' \
  --filter 'display/' --filter 'shell/' --filter 'bridge/' --filter 'shim/' \
  --exclude-directories ".*CompilerId.*" --exclude-unreachable-branches --json "$out" --print-summary "$dir"
