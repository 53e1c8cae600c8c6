#!/usr/bin/env bash
# Draws a benchmark run as an SVG chart: the speed-up of every column over the textbook loops
# (the reference column) against n, log scales, one line per column and one panel per input
# shape, with the processor, the version and the date in the caption. The run is the JSON that
# bubble_sort_bench writes with --benchmark_out=FILE --benchmark_out_format=json; each name is
# COLUMN/SHAPE/N followed by options such as min_time:0.200, and a column may itself hold a slash.
# Each point is the median of the repetitions, or the single run when there was one.
#   scripts/chart.sh RUN.json CHART.svg
set -euo pipefail
. "$(dirname "$0")/packages.sh"
ensure_packages gnuplot-nox jq
if [ $# -ne 2 ]; then
    echo "error: usage: scripts/chart.sh RUN.json CHART.svg" >&2
    exit 1
fi
run=$1 chart=$2
if ! jq -e -s 'length == 1 and (.[0].benchmarks | type == "array")' "$run" >/dev/null 2>&1; then
    echo "error: $run is not a benchmark run in JSON" >&2
    exit 1
fi

# A run that did not sort, or that failed, must not be drawn as if it had been timed.
failed=$(jq -r '[.benchmarks[] | select(.error_occurred == true)
                 | "\(.name) (\(.error_message // "failed"))"] | join(", ")' "$run")
if [ -n "$failed" ]; then
    echo "error: $run holds failed runs: $failed" >&2
    exit 1
fi

problem=$(mktemp)
trap 'rm -f "$problem"' EXIT
# One line per point: shape number, shape, column number, column, n, speed-up; shapes and columns
# (the reference left out) numbered in the order the benchmark registered them, so that a column
# keeps its colour.
if ! points=$(jq -r '
    def parse: .run_name as $name | $name | split("/")
        | until(length == 0 or (last | contains(":") | not); .[:-1])
        | if length >= 3 and (last | test("^[0-9]+$")) then
              {column: (.[:-2] | join("/")), shape: .[-2], n: (last | tonumber)}
          else error("cannot read COLUMN/SHAPE/N in \($name)") end;
    [.benchmarks[] | select(.run_type == "iteration" or .aggregate_name == "median")]
    | group_by(.run_name)
    | map((map(select(.aggregate_name == "median")) + map(select(.run_type == "iteration")))[0]
          | parse + {ns: .ns_per_ce, family: .family_index})
    | . as $all
    | (map(select(.column == "reference") | {key: "\(.shape)/\(.n)", value: .ns}) | from_entries)
        as $reference
    | def order(f): [group_by(f)[] | {key: (.[0] | f), value: (map(.family) | min)}]
          | sort_by(.value) | to_entries | map({key: .value.key, value: (.key + 1)}) | from_entries;
      order(.shape) as $shapes
    | (map(select(.column != "reference")) | order(.column)) as $columns
    | $all[] | select(.column != "reference" and .ns > 0 and $reference["\(.shape)/\(.n)"] != null)
    | [$shapes[.shape], .shape, $columns[.column], .column, .n, $reference["\(.shape)/\(.n)"] / .ns]
    | @tsv' "$run" 2>"$problem"); then
    echo "error: $run: $(sed 's/^jq: error ([^)]*): //' "$problem" | head -n 1)" >&2
    exit 1
fi
points=$(sort -t $'\t' -k1,1n -k3,3n -k5,5n <<<"$points")
if [ -z "$points" ]; then
    echo "error: $run has no column timed beside the textbook loops on the same input" >&2
    exit 1
fi
caption=$(jq -r '.context as $c | [.benchmarks[].repetitions] | max as $r
    | "sortdemo \($c.version // "(version not recorded)"): speed-up over the textbook loops, "
      + (if $r > 1 then "median of \($r) runs" else "one run" end)
      + "\n\($c.processor // "processor not recorded"), \($c.num_cpus) CPUs, "
      + (if $c.date then $c.date[:10] else "date not recorded" end)' "$run")

# Colours that stay apart on white and for most colour-blind readers, one a column in order;
# black is the dispatched sort's.
settings="set linetype cycle 9
set for [k = 1:9] linetype k lc rgb \
    word('#0072b2 #e69f00 #009e73 #cc79a7 #d55e00 #56b4e9 #8c564b #7f7f7f #bcbd22', k)
set logscale xy
set format x '%g'
set format y '%gx'
set ytics add ('2x' 2, '5x' 5, '20x' 20, '50x' 50, '200x' 200, '500x' 500)
set xlabel 'n (numbers sorted)'
set ylabel 'speed-up'
set grid
set key left top spacing 1.1
set autoscale xfix
set offsets graph 0.04, graph 0.04, 0, 0"

# gnuplot reads the points from one data block per line and draws the panels in a grid, two
# across, so that the text stays legible where a page scales the chart to its width.
script=$(CAPTION=$caption awk -F '\t' '
    function quote(text) {
        gsub(/\\/, "\\\\", text); gsub(/"/, "\\\"", text); gsub(/\n/, "\\n", text)
        return "\"" text "\""
    }
    {
        if (!($1 in panel)) { panel[$1] = ++nshapes; shapes[nshapes] = $2 }
        s = panel[$1]
        block = "$s" s "c" $3
        if (!(block in seen)) {
            seen[block] = 1
            blocks[++nblocks] = block
            style = $4 == "dispatched" ? "lc rgb \"black\" lw 2.5 pt 7" : "lt " $3 " lw 1.5 pt " $3
            plots[s] = plots[s] ", " block " with linespoints " style " title " quote($4)
        }
        data[block] = data[block] $5 " " $6 "\n"
    }
    END {
        across = nshapes < 2 ? nshapes : 2
        down = int((nshapes + across - 1) / across)
        for (k = 1; k <= nblocks; ++k) printf "%s << EOD\n%sEOD\n", blocks[k], data[blocks[k]]
        printf "set terminal svg size %d,%d font \"sans,14\" noenhanced background \"white\"\n",
            500 * across, 400 * down + 60
        printf "set multiplot layout %d,%d title %s\n", down, across, quote(ENVIRON["CAPTION"])
        for (s = 1; s <= nshapes; ++s) {
            printf "set title %s\n", quote(shapes[s] " input")
            printf "plot 1 with lines lc rgb \"gray\" dt 2 notitle%s\n", plots[s]
        }
        print "unset multiplot"
    }' <<<"$points")
mkdir -p "$(dirname "$chart")"
gnuplot -e "set output '${chart//\'/\'\'}'" - <<<"$settings
$script"
echo "chart: $chart"
