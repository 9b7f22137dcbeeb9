# Sourced by bench-burst.sh and kill-test.sh: builds skeind.exe with
# startkill.exe, and the native burst tools in the build directory $1
# (configured with the other arguments when it is new).
burst_native=$1
shift
if [ -f build/win64/CMakeCache.txt ]; then
  cmake --build build/win64 -j "${SKEIND_JOBS:-2}" --target skeind startkill -- --no-print-directory >/dev/null
else
  bash scripts/build.sh win64
fi
if [ ! -f "$burst_native/CMakeCache.txt" ]; then
  cmake -S . -B "$burst_native" "$@" >/dev/null
fi
cmake --build "$burst_native" -j "${SKEIND_JOBS:-2}" --target burstsend burstcheck -- --no-print-directory >/dev/null
command -v ss >/dev/null || { echo "the burst scripts need ss (iproute2)" >&2; exit 1; }
