#!/usr/bin/env bash
# Benchmarks the bubble sort: every kernel this machine runs against the textbook loops, for
# n = 2 to 65536, on random, ascending and descending input and on random input within 16 and 8
# bits (medians of repeated runs, interleaved), then the whole program on 65536 random numbers
# against the same program built with the textbook loops, then the program's reading and printing
# of numbers (bench/stage_bench.cpp). First it measures the core's clock and
# the issue rates of the vector instructions the kernels use. Prints ns per compare-exchange and
# speed-ups, and each kernel's compare-exchanges a cycle at n = 65536 against its limit; keeps
# the medians, the clock and the rates as JSON in build-bench/benchmark.json and draws them as a
# chart (scripts/chart.sh), by default build-bench/benchmark.svg.
#   scripts/bench.sh [REPETITIONS [CHART.svg]]
set -euo pipefail
chart=$(realpath -m -- "${2:-build-bench/benchmark.svg}")
cd "$(dirname "$0")/.."
. scripts/packages.sh
ensure_packages cmake make g++ libbenchmark-dev bc gnuplot-nox jq
repetitions=${1:-3}

cmake --preset bench >/dev/null
cmake --build --preset bench -j "$(nproc)" >/dev/null

# The chart's caption names the processor and the version; the run's options split this list
# at commas.
processor=$(lscpu 2>/dev/null | sed -n 's/^Model name: *//p' | head -n 1 | tr -d ',') || true
version=$(sed -n 's/^project(sortdemo VERSION \([0-9.]*\) .*/\1/p' CMakeLists.txt)
if [ -e .git ] && commit=$(git describe --always --dirty 2>/dev/null); then
    version="$version ($commit)"
fi
./build-bench/bench/bubble_sort_bench --benchmark_repetitions="$repetitions" \
    --benchmark_report_aggregates_only=true --benchmark_enable_random_interleaving=true \
    --benchmark_color=false --benchmark_out=build-bench/benchmark.json \
    --benchmark_out_format=json \
    --benchmark_context="processor=${processor:-$(uname -m)},version=$version"
bash scripts/chart.sh build-bench/benchmark.json "$chart"

# The whole program: the same 65536 random numbers piped into both builds, runs interleaved.
input=$(mktemp)
trap 'rm -f "$input"' EXIT
bash scripts/random_numbers.sh 65536 42 >"$input"
seconds() {
    local start end
    start=$(date +%s%N)
    "$1" <"$input" >/dev/null
    end=$(date +%s%N)
    echo "scale=4; ($end - $start) / 1000000000" | bc
}
median() { sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }
fast=() reference=()
for ((k = 0; k < repetitions; ++k)); do
    fast+=("$(seconds build-bench/src/sortdemo)")
    reference+=("$(seconds build-bench/src/sortdemo_reference)")
done
fastMedian=$(printf '%s\n' "${fast[@]}" | median)
referenceMedian=$(printf '%s\n' "${reference[@]}" | median)
printf '\nwhole program, 65536 random numbers, median of %d runs:\n' "$repetitions"
printf '  sortdemo %.3f s, with the textbook loops %.3f s: %.1fx\n' "$fastMedian" \
    "$referenceMedian" "$(echo "scale=2; $referenceMedian / $fastMedian" | bc)"

# The stages around the sorts: reading and printing N random numbers through the program's own
# functions, medians of interleaved runs.
./build-bench/bench/stage_bench --benchmark_repetitions="$repetitions" \
    --benchmark_report_aggregates_only=true --benchmark_enable_random_interleaving=true \
    --benchmark_out=build-bench/stages.json --benchmark_out_format=json >/dev/null
printf '\nreading and printing numbers, median of %d runs:\n' "$repetitions"
printf '  %-22s %8s %12s %8s\n' stage n 'ns a number' 'GB/s'
jq -r '.benchmarks[] | select(.aggregate_name == "median")
    | (.run_name | split("/")) as $name
    | [($name[:-1] | join("/")), $name[-1], .ns_per_number, .bytes_per_second / 1e9] | @tsv' \
    build-bench/stages.json | awk -F '\t' '{ printf "  %-22s %8s %12.2f %8.3f\n", $1, $2, $3, $4 }'
