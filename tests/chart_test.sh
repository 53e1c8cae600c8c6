#!/usr/bin/env bash
# The benchmark chart is drawn from a short run (three small sizes, no timing judged): the SVG
# must be well-formed and hold, in the panel of each width of random input, a line for every
# kernel of that lane width this machine runs, the dispatched sort and the textbook loops, and
# the limits of the instruction sets. A run that reports a failure (a kernel that did not sort)
# must not be drawn at all.
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
# where a column may hold a slash: in the panel of each width of random input, every kernel of
# that lane width (the scalar kernel's are 32 bits), the dispatched sort and the textbook loops.
# The table of ratios printed after the list is left out.
pairs=$("$bench" --benchmark_filter="$filter" --benchmark_list_tests |
    grep -E '^[^ ]+/[0-9]+(/[^/ ]+:[^/ ]*)*$' | sed -E 's#(/[^/]+:[^/]*)*$##; s#/[0-9]+$##' |
    sort -u | awk -F/ '
        { shape = $NF; column = substr($0, 1, length($0) - length(shape) - 1) }
        shape == "random" { title = "full range"; bits = 32 }
        shape == "random16" { title = "within 16 bits"; bits = 16 }
        shape == "random8" { title = "within 8 bits"; bits = 8 }
        shape !~ /^random/ { next }
        column == "reference" { print "textbook loops/" title; next }
        column == "dispatched" || column == "scalar" && bits == 32 { print column "/" title; next }
        column ~ /\/[0-9]+$/ && column ~ ("/" bits "$") { print column "/" title }') || true
# In gnuplot's SVG a line is a group holding its key text and a path of the key's sample and at
# least one segment more; each panel's title follows its lines.
group='*[local-name()="g"][starts-with(@id, "gnuplot_plot_")]'
text='*[local-name()="text"]'
panel="$text[. = 'full range' or . = 'within 16 bits' or . = 'within 8 bits']"
missing=0
while read -r pair; do
    column=${pair%/*} title=${pair##*/}
    count=$(xmllint --xpath "count(//${group}[.//${text} = '$column']
        [.//*[local-name()='path'][contains(substring-after(@d, 'L'), 'L')]]
        [following::${panel}[1] = '$title'])" "$scratch/chart.svg")
    if [ "$count" != 1 ]; then
        echo "the $title panel has $count lines for $column, not 1"
        missing=1
    fi
done <<<"$pairs"
if [ -z "$pairs" ] || [ "$missing" -ne 0 ]; then
    echo "the chart lacks lines"
    exit 1
fi
# Each instruction set's limit, where its issue rates were measured, as a line in its panels.
limits=$(xmllint --xpath "count(//${group}[starts-with(.//${text}, 'limit ')])" \
    "$scratch/chart.svg")
if [ "$(jq -r '.context | keys[] | select(startswith("per_cycle/"))' "$scratch/run.json" | wc -l)" \
    -gt 0 ] && [ "$limits" -lt 3 ]; then
    echo "the chart has $limits limit lines, not one in each panel at least"
    exit 1
fi

jq '.benchmarks[0] += {error_occurred: true, error_message: "not sorted"}' "$scratch/run.json" \
    >"$scratch/failed.json"
if bash scripts/chart.sh "$scratch/failed.json" "$scratch/failed.svg" 2>/dev/null; then
    echo "a run with a failure was drawn"
    exit 1
fi
echo "chart: $(wc -l <<<"$pairs") lines, one for every column in every panel, and $limits limits"
