#!/usr/bin/env bash
# Builds the dialogue fuzzer (libFuzzer, AddressSanitizer, UndefinedBehaviorSanitizer) and runs
# it for the given number of seconds from the seed corpus in fuzz/corpus. Exits non-zero on a
# crash, a sanitizer report, an input that takes longer than 5 s, or a broken rule.
#   scripts/fuzz.sh [SECONDS]      (default 60; the inputs it finds are kept in build-fuzz/corpus)
set -euo pipefail
cd "$(dirname "$0")/.."
. scripts/packages.sh
ensure_packages cmake make clang libclang-rt-14-dev
seconds=${1:-60}

cmake --preset fuzz >/dev/null
cmake --build --preset fuzz -j "$(nproc)" >/dev/null
mkdir -p build-fuzz/corpus build-fuzz/findings
cd build-fuzz/findings
status=0
../fuzz/dialogue_fuzzer -max_total_time="$seconds" -timeout=5 -rss_limit_mb=4096 \
    -max_len=4096 -print_final_stats=1 ../corpus ../../fuzz/corpus >fuzz.log 2>&1 || status=$?
# The progress lines are many: on success the coverage and the totals are what count, on
# failure the report at the end.
if [ "$status" -eq 0 ]; then
    grep -E 'INFO: seed corpus|DONE|stat::' fuzz.log
else
    grep -vE '^#[0-9]+\s+(NEW|REDUCE|pulse)' fuzz.log | tail -n 80
fi
echo "fuzzer exit status: $status"
exit "$status"
