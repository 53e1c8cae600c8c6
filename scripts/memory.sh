#!/usr/bin/env bash
# Measures the program's run time and peak memory (maximum resident set size) on random numbers
# piped in: by default 200,000 numbers, which must stay within 32 MB, and 1,000,000.
#   scripts/memory.sh [COUNT ...]
set -euo pipefail
cd "$(dirname "$0")/.."
. scripts/packages.sh
ensure_packages cmake make g++ time bc
cmake --preset bench >/dev/null
cmake --build --preset bench -j "$(nproc)" --target sortdemo >/dev/null

counts=("$@")
[ ${#counts[@]} -gt 0 ] || counts=(200000 1000000)
status=0
for n in "${counts[@]}"; do
    input=$(mktemp)
    bash scripts/random_numbers.sh "$n" 7 >"$input"
    report=$( { /usr/bin/time -f '%e %M' build-bench/src/sortdemo <"$input" >/dev/null; } 2>&1)
    rm -f "$input"
    read -r seconds kilobytes <<<"$(tail -n 1 <<<"$report")"
    printf '%8d numbers: %6.2f s, peak memory %6.1f MB\n' "$n" "$seconds" \
        "$(echo "scale=1; $kilobytes / 1024" | bc)"
    if [ "$n" -eq 200000 ] && [ "$kilobytes" -gt $((32 * 1024)) ]; then
        echo "  over the 32 MB allowed for 200,000 numbers"
        status=1
    fi
done
exit "$status"
