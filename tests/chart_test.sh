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
# where a column may hold a slash (the table of ratios printed after the list is left out). In gnuplot's SVG a line is a group holding its key text and a
# path of the key's sample and at least one segment more; each panel's title follows its lines.
missing=0 checked=0
while read -r columnShape; do
    column=${columnShape%/*} shape=${columnShape##*/}
    [ "$column" != reference ] || continue
    checked=$((checked + 1))
    svg='*[local-name()="g"][starts-with(@id, "gnuplot_plot_")]'
    text='*[local-name()="text"]'
    count=$(xmllint --xpath "count(//$svg[.//$text = '$column']
        [.//*[local-name()='path'][contains(substring-after(@d, 'L'), 'L')]]
        [following::$text[substring(., string-length(.) - 5) = ' input'][1] = '$shape input'])" \
        "$scratch/chart.svg")
    if [ "$count" != 1 ]; then
        echo "the $shape panel has $count lines for $column, not 1"
        missing=1
    fi
done < <("$bench" --benchmark_filter="$filter" --benchmark_list_tests |
    grep -E '^[^ ]+/[0-9]+(/[^/ ]+:[^/ ]*)*$' | sed -E 's#(/[^/]+:[^/]*)*$##; s#/[0-9]+$##' | sort -u)
if [ "$missing" -ne 0 ] || [ "$checked" -eq 0 ]; then
    echo "the chart lacks lines ($checked checked)"
    exit 1
fi

jq '.benchmarks[0] += {error_occurred: true, error_message: "not sorted"}' "$scratch/run.json" \
    >"$scratch/failed.json"
if bash scripts/chart.sh "$scratch/failed.json" "$scratch/failed.svg" 2>/dev/null; then
    echo "a run with a failure was drawn"
    exit 1
fi
echo "chart: $checked lines, one for every column in every panel"
