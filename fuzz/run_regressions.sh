#!/bin/sh
# Runs each input under fuzz/regressions through its target, one process per
# input, and lists which still fail. Names say the target: workspace-* goes to
# fuzz_workspace, cmdline-* to fuzz_cmdline, scanner-* to fuzz_scanner,
# clean_text-* to fuzz_clean_text, url-* to fuzz_url, datagram-* to
# fuzz_datagram, shim-* to fuzz_shim, nodedb-* to fuzz_nodedb. Exit status 1 while any fails.
#   fuzz/run_regressions.sh [BUILD_DIR]     (default build/fuzz)
here=$(cd "$(dirname "$0")" && pwd)
bin=${1:-$here/../build/fuzz}/bin
failed=0
for input in "$here"/regressions/*; do
    name=$(basename "$input")
    case "$name" in
    workspace-*) target=fuzz_workspace ;;
    cmdline-*) target=fuzz_cmdline ;;
    scanner-*) target=fuzz_scanner ;;
    clean_text-*) target=fuzz_clean_text ;;
    url-*) target=fuzz_url ;;
    datagram-*) target=fuzz_datagram ;;
    shim-*) target=fuzz_shim ;;
    nodedb-*) target=fuzz_nodedb ;;
    *) continue ;;
    esac
    if "$bin/$target" "$input" >/dev/null 2>&1; then
        echo "pass  $name"
    else
        echo "FAIL  $name"
        failed=1
    fi
done
exit $failed
