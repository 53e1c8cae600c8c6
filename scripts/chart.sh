#!/usr/bin/env bash
# Draws a benchmark run as an SVG chart of how close each kernel comes to what the core can do:
# one panel per width of the data (random numbers over the full 32-bit range, within 16 bits,
# within 8 bits), compare-exchanges a cycle against n (log scales) for every kernel of the
# panel's lane width, the dispatched sort and the textbook loops, and as a dashed line each
# instruction set's limit on the machine the run measured; the processor, the version and the
# date in the caption. The run is the JSON that bubble_sort_bench writes with
# --benchmark_out=FILE --benchmark_out_format=json: each name is COLUMN/SHAPE/N followed by
# options such as min_time:0.200, a column may itself hold a slash, and the context holds the
# clock and each kernel's limit on the core (limit/COLUMN). Each point is the median of the
# repetitions, or the single run.
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
if ! jq -e '.context.clock_ghz and ([.benchmarks[] | select(.ce_per_cycle)] | length > 0)' \
    "$run" >/dev/null; then
    echo "error: $run has no clock measured, so no compare-exchanges a cycle" >&2
    exit 1
fi

problem=$(mktemp)
trap 'rm -f "$problem"' EXIT
# One line per point or limit: panel, panel title, line number, line title, kind (kernel,
# dispatched, textbook or limit), colour, n, compare-exchanges a cycle. A kernel COLUMN is
# ISA/BITS; the limit drawn for an instruction set in a panel is the one the run recorded for
# that set's kernel of the panel's lane width.
if ! lines=$(jq -r '
    def parse: .run_name as $name | $name | split("/")
        | until(length == 0 or (last | contains(":") | not); .[:-1])
        | if length >= 3 and (last | test("^[0-9]+$")) then
              {column: (.[:-2] | join("/")), shape: .[-2], n: (last | tonumber)}
          else error("cannot read COLUMN/SHAPE/N in \($name)") end;
    def width: {"random": 32, "random16": 16, "random8": 8}[.];
    def isa: split("/")[0];
    def bits: split("/")[1] | tonumber;
    .context as $c
    | ["scalar", "sse41", "avx2", "avx512", "avx512tl", "avx512vbmi", "neon"] as $isas
    | [.benchmarks[] | select(.run_type == "iteration" or .aggregate_name == "median")]
    | group_by(.run_name)
    | map((map(select(.aggregate_name == "median")) + map(select(.run_type == "iteration")))[0]
          | parse + {perCycle: .ce_per_cycle})
    | map(select((.shape | width) != null and .perCycle != null))
    | map(. + {kind: (if .column == "reference" then "textbook"
                      elif .column == "dispatched" then "dispatched" else "kernel" end)})
    | map(select(.kind != "kernel" or (.column | contains("/") | not) and .shape == "random"
                 or (.column | contains("/")) and (.column | bits) == (.shape | width)))
    | (map(.shape) | unique | sort_by(- width)) as $shapes
    | (map(select(.kind == "kernel") | .column) | unique
       | sort_by(isa as $i | $isas | index($i))) as $kernels
    | def colour: if . == "dispatched" then 0 elif . == "reference" then 8
                  else (isa as $i | $isas | index($i)) + 1 end;
      def lineNumber: . as $column | if . == "dispatched" then 0 elif . == "reference" then 99
                      else ($kernels | index($column)) + 1 end;
      def title: if . == "reference" then "textbook loops" else . end;
    ( .[] | .shape as $shape | [($shapes | index($shape)) + 1,
             {"random": "full range", "random16": "within 16 bits",
              "random8": "within 8 bits"}[.shape],
             (.column | lineNumber), (.column | title), .kind, (.column | colour), .n, .perCycle] ),
    ( map(select(.kind == "kernel" and (.column | contains("/")))) | unique_by([.shape, (.column | isa)])
      | .[] | ($c["limit/\(.column)"] // "0" | tonumber) as $limit
      | select($limit > 0)
      | (.column | isa) as $isa | .shape as $shape
      | [($shapes | index($shape)) + 1, "", 100 + ($isas | index($isa)), "limit \($isa)", "limit",
         ($isa | colour), 0, $limit] )
    | @tsv' "$run" 2>"$problem"); then
    echo "error: $run: $(sed 's/^jq: error ([^)]*): //' "$problem" | head -n 1)" >&2
    exit 1
fi
lines=$(sort -t $'\t' -k1,1n -k3,3n -k7,7n <<<"$lines")
if ! grep -q $'\tkernel\t' <<<"$lines"; then
    echo "error: $run has no kernel timed on random input" >&2
    exit 1
fi
caption=$(jq -r '.context as $c | [.benchmarks[].repetitions] | max as $r
    | "sortdemo \($c.version // "(version not recorded)"): compare-exchanges a cycle, "
      + (if $r > 1 then "median of \($r) runs" else "one run" end)
      + "\n\($c.processor // "processor not recorded"), \($c.num_cpus) CPUs, "
      + "clock measured at \($c.clock_ghz | tonumber * 100 | round / 100) GHz, "
      + (if $c.date then $c.date[:10] else "date not recorded" end)' "$run")

# Colours that stay apart on white and for most colour-blind readers, one an instruction set;
# black is the dispatched sort's, grey the textbook loops'.
settings="set linetype cycle 8
set for [k = 1:7] linetype k lc rgb \
    word('#7f7f7f #0072b2 #e69f00 #009e73 #cc79a7 #56b4e9 #d55e00', k)
set logscale xy
set format x '%g'
set format y '%g'
set xlabel 'n (numbers sorted)'
set ylabel 'compare-exchanges a cycle'
set grid
set key outside right top spacing 1.1 width 2
set offsets graph 0.02, graph 0.02, 0, 0"

# gnuplot reads the points from one data block per line and draws the panels one under another,
# each with its legend to the right of the plotting area, so that no line is covered.
script=$(CAPTION=$caption awk -F '\t' '
    function quote(text) {
        gsub(/\\/, "\\\\", text); gsub(/"/, "\\\"", text); gsub(/\n/, "\\n", text)
        return "\"" text "\""
    }
    {
        if (!($1 in panel)) { panel[$1] = ++npanels; titles[npanels] = $2 }
        p = panel[$1]
        if ($5 == "limit") {
            limits[p] = limits[p] sprintf(", %s with lines lt %d dt 2 lw 1.5 title %s", $8, $6, quote($4))
            next
        }
        if ($2 != "") titles[p] = $2
        block = "$p" p "l" $3
        if (!(block in seen)) {
            seen[block] = 1
            blocks[++nblocks] = block
            style = $5 == "dispatched" ? "lc rgb \"black\" lw 2.5 pt 7 ps 0.6" \
                  : $5 == "textbook" ? "lc rgb \"#999999\" lw 1.5 dt 3 pt 1" \
                  : "lt " $6 " lw 1.5 pt " ($3 % 7 + 1) " ps 0.6"
            plots[p] = plots[p] ", " block " with linespoints " style " title " quote($4)
        }
        data[block] = data[block] $7 " " $8 "\n"
    }
    END {
        for (k = 1; k <= nblocks; ++k) printf "%s << EOD\n%sEOD\n", blocks[k], data[blocks[k]]
        printf "set terminal svg size 1000,%d font \"sans,14\" noenhanced background \"white\"\n",
            380 * npanels + 70
        printf "set multiplot layout %d,1 title %s\n", npanels, quote(ENVIRON["CAPTION"])
        for (p = 1; p <= npanels; ++p) {
            printf "set title %s\n", quote(titles[p])
            printf "plot %s%s\n", substr(plots[p], 3), limits[p]
        }
        print "unset multiplot"
    }' <<<"$lines")
mkdir -p "$(dirname "$chart")"
gnuplot -e "set output '${chart//\'/\'\'}'" - <<<"$settings
$script"
echo "chart: $chart"
