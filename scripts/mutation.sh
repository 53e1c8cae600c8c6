#!/usr/bin/env bash
# Mutation run: makes each change listed in a mutants file, one at a time, in a copy of the
# working tree, rebuilds incrementally and runs the native tests against it, cheapest first and
# stopping at the first failure, so that a caught change costs seconds. A change that passes the
# unit, end-to-end and terminal tests then meets the rest of the suite. Prints one line per change
# and the share of changes caught, not counting those the file marks as equivalent.
#   scripts/mutation.sh [MUTANTS_FILE] [ID...]     (default scripts/mutants.txt, every change)
# MUTANTS_FILE: one change a line, tab-separated: id, file, text, replacement[, why equivalent].
# The text must occur exactly once in the file; "<NL>" in text or replacement stands for a line end.
# Lines starting with # are comments. Work folder: build-mutation/ (SORTDEMO_MUTATION_DIR).
set -euo pipefail
# The whole script is read before it runs, so that editing it during a long run changes nothing.
{
cd "$(dirname "$0")/.."
root=$PWD
list=${1:-scripts/mutants.txt}
shift || true
work=${SORTDEMO_MUTATION_DIR:-$root/build-mutation}
. scripts/packages.sh
ensure_packages cmake make g++ libgtest-dev perl

# The tree as it is now, tracked files only, so that edits made during a long run do not leak in.
rm -rf "$work/tree"
mkdir -p "$work/tree"
# Fresh times on every file: a folder reused from an older tree must rebuild what changed since.
git ls-files -z | xargs -0 tar cf - | tar xmf - -C "$work/tree"
src=$work/tree
build=$work/build
generator=()
command -v ninja >/dev/null && [ ! -f "$build/Makefile" ] && generator=(-G Ninja)
nice -n 10 cmake -S "$src" -B "$build" "${generator[@]}" -DCMAKE_BUILD_TYPE=Release \
    -DSORTDEMO_BENCHMARKS=OFF >/dev/null

export SORTDEMO_PROGRAM=$build/src/sortdemo
# The first failing stage's name, or nothing when every test passed, for a change in file $1.
# The runs on emulated processors repeat the unit and end-to-end tests there: only a change to
# the sort, whose kernel depends on the processor, meets them.
run_tests() {
    local stage skip='unit|end_to_end|emulated_cpu'
    [[ $1 != src/bubble_sort/* ]] || skip='unit|end_to_end'
    for stage in unit_tests end_to_end_test terminal_test; do
        nice -n 10 "$build/tests/$stage" --gtest_fail_fast --gtest_brief=1 >/dev/null 2>&1 ||
            { echo "$stage" && return; }
    done
    (cd "$build" && nice -n 10 ctest -LE "$skip" -E '^terminal$' --stop-on-failure \
        >/dev/null 2>&1) || echo rest
}

nice -n 10 cmake --build "$build" -j1 >/dev/null || { echo "the unchanged tree does not build" >&2 && exit 1; }
# Pseudo-terminal tests on a loaded machine can fail by chance: the unchanged tree gets two tries.
failed=$(run_tests src/bubble_sort/)
[ -z "$failed" ] || failed=$(run_tests src/bubble_sort/)
[ -z "$failed" ] || { echo "the unchanged tree fails $failed" >&2 && exit 1; }

killed=0 survived=0 equivalent=0 equivalentKilled=0 broken=0 survivors=()
while IFS=$'\037' read -r id file text replacement why; do
    [[ -z $id || $id == \#* ]] && continue
    if [ $# -gt 0 ] && [[ " $* " != *" $id "* ]]; then
        continue
    fi
    cp "$src/$file" "$work/original"
    if ! TEXT=$text REPLACEMENT=$replacement perl -0777 -i -pe '
        BEGIN { ($t, $r) = map { s/<NL>/\n/gr } @ENV{qw(TEXT REPLACEMENT)} }
        $n = () = /\Q$t\E/g;
        die "found $n times\n" if $n != 1;
        s/\Q$t\E/$r/;' "$src/$file"; then
        echo "$id: the text is not once in $file" >&2
        exit 1
    fi
    if ! nice -n 10 cmake --build "$build" -j1 >/dev/null 2>&1; then
        result="does not build"
        broken=$((broken + 1))
    else
        failed=$(run_tests "$file")
        if [ -n "$why" ]; then
            equivalent=$((equivalent + 1))
            if [ -n "$failed" ]; then
                result="equivalent, but $failed failed"
                equivalentKilled=$((equivalentKilled + 1))
            else
                result="equivalent: $why"
            fi
        elif [ -n "$failed" ]; then
            result="killed by $failed"
            killed=$((killed + 1))
        else
            result="SURVIVED"
            survived=$((survived + 1))
            survivors+=("$id")
        fi
    fi
    cp "$work/original" "$src/$file"
    printf '%s\t%s\t%s\n' "$id" "$file" "$result"
done < <(tr "\t" "\037" <"$list")
nice -n 10 cmake --build "$build" -j1 >/dev/null

total=$((killed + survived))
echo "killed $killed of $total non-equivalent changes ($((total ? 100 * killed / total : 0))%);" \
    "$equivalent judged equivalent ($equivalentKilled of them failed a test), $broken did not build"
[ ${#survivors[@]} -eq 0 ] || echo "survivors: ${survivors[*]}"
exit
}
