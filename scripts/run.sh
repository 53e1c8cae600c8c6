#!/usr/bin/env bash
# Builds the program (optimised, without tests) and runs it on this terminal.
set -euo pipefail
cd "$(dirname "$0")/.."
. scripts/packages.sh
ensure_packages cmake make g++
cmake -S . -B build-run -DBUILD_TESTING=OFF >/dev/null
cmake --build build-run -j "$(nproc)" >/dev/null
exec ./build-run/src/sortdemo
