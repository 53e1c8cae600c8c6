#!/usr/bin/env bash
# Times this tree's kernels side by side with another commit's: builds the benchmark of both
# (the other in a scratch worktree), runs them in turns, ROUNDS times each, on the benchmarks the
# filter picks, and prints each one's median ns per compare-exchange in both and the ratio.
#   scripts/compare.sh COMMIT [FILTER [ROUNDS]]   e.g. scripts/compare.sh HEAD~1 /65536/ 5
set -euo pipefail
cd "$(dirname "$0")/.."
. scripts/packages.sh
ensure_packages cmake make g++ libbenchmark-dev jq git
other=$1 filter=${2:-/65536} rounds=${3:-5}
scratch=$(mktemp -d)
trap 'git worktree remove --force "$scratch/tree" >/dev/null 2>&1 || true; rm -rf "$scratch"' EXIT
git worktree add -q --detach "$scratch/tree" "$other"
for tree in . "$scratch/tree"; do
    cmake -S "$tree" -B "$tree/build-bench" -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF >/dev/null
    cmake --build "$tree/build-bench" -j "$(nproc)" --target bubble_sort_bench >/dev/null
done
for ((k = 0; k < rounds; ++k)); do
    for side in this other; do
        tree=.
        [ "$side" = this ] || tree=$scratch/tree
        "$tree/build-bench/bench/bubble_sort_bench" --benchmark_filter="$filter" \
            --benchmark_out="$scratch/$side-$k.json" --benchmark_out_format=json \
            >"$scratch/log" 2>&1 || { cat "$scratch/log" >&2 && exit 1; }
    done
done
printf '%-36s %10s %10s %7s\n' benchmark "$other" this speed-up
for side in this other; do
    jq -r --arg side "$side" '.benchmarks[] | [$side, (.run_name // .name), .ns_per_ce] | @tsv' \
        "$scratch"/"$side"-*.json
done | awk -F '\t' '
    { key = $2; sub(/\/min_time:.*/, "", key); v[$1, key] = v[$1, key] " " $3; keys[key] = 1 }
    function median(list,    a, n, i, j, t) {
        n = split(list, a, " ")
        for (i = 1; i <= n; ++i) for (j = i + 1; j <= n; ++j) if (a[j] < a[i]) { t = a[i]; a[i] = a[j]; a[j] = t }
        return n ? a[int((n + 1) / 2)] : 0
    }
    END {
        for (key in keys) {
            o = median(v["other", key]); t = median(v["this", key])
            if (o > 0 && t > 0) printf "%-36s %10.5f %10.5f %6.3fx\n", key, o, t, o / t
            else printf "%-36s %10s %10s\n", key, (o > 0 ? sprintf("%.5f", o) : "-"), (t > 0 ? sprintf("%.5f", t) : "-")
        }
    }' | sort
