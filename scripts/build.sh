#!/usr/bin/env bash
# build.sh native|win64|win32: configure (once) and build one target.
set -euo pipefail
cd "$(dirname "$0")/.."

jobs=$(nproc 2>/dev/null || echo 2)
case "${1:-}" in
  native)
    dir=build/native
    args=(-DCMAKE_BUILD_TYPE=Debug -DSKEIND_SANITIZE=ON) ;;
  win64)
    dir=build/win64
    args=(-DCMAKE_TOOLCHAIN_FILE=cmake/mingw-x86_64.cmake -DCMAKE_BUILD_TYPE=Release) ;;
  win32)
    dir=build/win32
    args=(-DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake -DCMAKE_BUILD_TYPE=Release) ;;
  *)
    echo "usage: build.sh native|win64|win32" >&2; exit 2 ;;
esac

# Several checkouts on one machine share their compilations through ccache.
if command -v ccache >/dev/null; then
  args+=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
  # Paths inside the checkout count as relative, so that another checkout
  # of the same sources finds what this one compiled.
  export CCACHE_BASEDIR="$PWD"
fi
# SKEIND_JOBS limits the build's parallelism on a shared machine.
jobs=${SKEIND_JOBS:-$jobs}

if [ ! -f "$dir/CMakeCache.txt" ]; then
  cmake -S . -B "$dir" "${args[@]}" >/dev/null
fi
cmake --build "$dir" -j "$jobs" -- --no-print-directory
