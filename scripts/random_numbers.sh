#!/usr/bin/env bash
# Prints a dialogue input for the benchmarks: COUNT, then COUNT random 32-bit integers, the same
# ones for the same SEED.
#   scripts/random_numbers.sh COUNT SEED
set -euo pipefail
awk -v n="$1" -v seed="$2" 'BEGIN { srand(seed); print n;
    for (k = 0; k < n; ++k) printf "%d ", int(rand() * 4294967296) - 2147483648;
    print "" }'
