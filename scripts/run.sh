#!/usr/bin/env bash
# Builds the program alone (optimised, without tests or benchmarks) and runs it on this terminal.
set -euo pipefail
cd "$(dirname "$0")/.."
. scripts/packages.sh
ensure_packages cmake make g++
echo "building sortdemo in build-run/ (some seconds the first time) ..."
log=$(mktemp)
trap 'rm -f "$log"' EXIT
if ! cmake --preset run >"$log" 2>&1 || ! cmake --build --preset run -j "$(nproc)" >>"$log" 2>&1
then
    cat "$log"
    echo "error: the build failed (the lines above say why)" >&2
    exit 1
fi
rm -f "$log"
trap - EXIT
exec ./build-run/src/sortdemo
