#!/usr/bin/env bash
# The benchmark chart is drawn from a short run (three small sizes, no timing judged): the SVG
# must be well-formed and hold, in the panel of each input shape, a line for every column the
# benchmark lists beside the textbook loops on this machine. A run that reports a failure (a
# kernel that did not sort) must not be drawn at all.
#   tests/chart_test.sh
set -euo pipefail
cd "$(dirname "$0")/.."
. scripts/packages.sh
ensure_packages cmake make g++ libbenchmark-dev gnuplot-nox jq libxml2-utils
cmake --preset bench >/dev/null
cmake --build --preset bench -j "$(nproc)" --target bubble_sort_bench >/dev/null
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
bench=build-bench/bench/bubble_sort_bench
filter='/(16|64|512)/'

if ! "$bench" --benchmark_filter="$filter" --benchmark_out="$scratch/run.json" \
    --benchmark_out_format=json >"$scratch/log" 2>&1; then
    cat "$scratch/log"
    exit 1
fi
bash scripts/chart.sh "$scratch/run.json" "$scratch/chart.svg"
xmllint --noout "$scratch/chart.svg"

# What should be drawn comes from the benchmark's own list of names, COLUMN/SHAPE/N/OPTIONS...,
# where a column may hold a slash; the table of ratios printed after the list is left out.
pairs=$("$bench" --benchmark_filter="$filter" --benchmark_list_tests |
    grep -E '^[^ ]+/[0-9]+(/[^/ ]+:[^/ ]*)*$' | sed -E 's#(/[^/]+:[^/]*)*$##; s#/[0-9]+$##' |
    sort -u | grep -v '^reference/') || true
# In gnuplot's SVG a line is a group holding its key text and a path of the key's sample and at
# least one segment more; each panel's title follows its lines.
group='*[local-name()="g"][starts-with(@id, "gnuplot_plot_")]'
text='*[local-name()="text"]'
missing=0
while read -r pair; do
    column=${pair%/*} shape=${pair##*/}
    count=$(xmllint --xpath "count(//${group}[.//${text} = '$column']
        [.//*[local-name()='path'][contains(substring-after(@d, 'L'), 'L')]]
        [following::${text}[substring(., string-length(.) - 5) = ' input'][1] = '$shape input'])" \
        "$scratch/chart.svg")
    if [ "$count" != 1 ]; then
        echo "the $shape panel has $count lines for $column, not 1"
        missing=1
    fi
done <<<"$pairs"
if [ -z "$pairs" ] || [ "$missing" -ne 0 ]; then
    echo "the chart lacks lines"
    exit 1
fi

jq '.benchmarks[0] += {error_occurred: true, error_message: "not sorted"}' "$scratch/run.json" \
    >"$scratch/failed.json"
if bash scripts/chart.sh "$scratch/failed.json" "$scratch/failed.svg" 2>/dev/null; then
    echo "a run with a failure was drawn"
    exit 1
fi
echo "chart: $(wc -l <<<"$pairs") lines, one for every column in every panel"
