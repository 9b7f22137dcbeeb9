#!/usr/bin/env bash
# Builds the native, 64-bit and 32-bit Windows targets and runs every test:
# natively under ASan/UBSan, and the Windows programs under Wine and Xvfb.
# Ends with one summary line counting the individual test cases.
set -uo pipefail
cd "$(dirname "$0")/.."
. scripts/wine.sh

results=$PWD/build/results
rm -rf "$results"
mkdir -p "$results/native" "$results/win64" "$results/bridge"
status=0

bash scripts/build.sh native || exit 1
bash scripts/build.sh win64 || exit 1
bash scripts/build.sh win32 || exit 1

echo "== native tests (ASan, UBSan)"
GTEST_OUTPUT="xml:$results/native/" ctest --test-dir build/native --output-on-failure || status=1

echo "== Windows tests under Wine"
# Wine sees the Linux file system as drive Z:.
GTEST_OUTPUT="xml:Z:${results//\//\\}\\win64\\" \
  with_display bash scripts/wine-ctest.sh "$PWD/build/win64" || status=1

echo "== scripts/run.sh without a display"
bash tests/scripts/run_script_test.sh "$results/scripts/run_script.xml" || status=1

echo "== the program killed during bursts (3 kills)"
bash scripts/kill-test.sh 3 "$results/scripts/kill_test.xml" || status=1

echo "== the bridge to today's browsers"
(cd bridge/extension && node --test --test-reporter=tap --test-reporter=junit \
  --test-reporter-destination=stdout --test-reporter-destination="$results/bridge/extension.xml" test/) || status=1
bash tests/bridge/chromium_test.sh "$results/bridge/chromium.xml" || status=1
bash tests/bridge/firefox_test.sh "$results/bridge/firefox.xml" || status=1

python3 scripts/summarize.py "$results" || status=1
exit $status
