#!/usr/bin/env bash
# Estimates with llvm-mca how fast each kernel's hot loop runs on processors this machine is not:
# it compiles the kernel with clang (or GCC), marking the loop (SORTDEMO_MCA_MARKERS), and prints
# for every scheduling model of LLVM 14 among the processors below the cycles a step, the
# compare-exchanges a cycle, the model's limit and the share of that limit the loop reaches. The
# limit counts what a compare-exchange of a register takes, one min and one max, or one min and
# one three-input logic instruction where the kernel has it (avx512tl), issued together on the
# model's vector pipes, times the lanes. A model, not a measurement.
#   scripts/model.sh [--gcc]                  every kernel at its own register count; fails if
#                                             one spills
#   scripts/model.sh [--gcc] KERNEL R [R ...] one kernel (sse41, avx2, avx512, avx512tl,
#                                             avx512vbmi/8, neon,
#                                             with /16 or /8 for its narrow lanes) at other counts
# --gcc: the code GCC makes (g++, aarch64-linux-gnu-g++), as the release builds it, not clang's.
set -euo pipefail
cd "$(dirname "$0")/.."
. scripts/packages.sh
# clang's AArch64 target takes its C++ headers from the cross toolchain.
ensure_packages clang llvm-14 g++ g++-aarch64-linux-gnu
compiler=clang
if [ "${1:-}" = --gcc ]; then
    compiler=gcc
    shift
fi
mca=$(command -v llvm-mca-14 || command -v llvm-mca)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

models_x86="skylake alderlake skylake-avx512 icelake-server znver3 nehalem sandybridge goldmont
    btver2"
models_arm="cortex-a55 cortex-a72 cortex-a76 neoverse-n1 apple-a14"

# A kernel's architecture, source, flags, lanes (0 for the scalar kernel, whose step is its four
# fused passes' compare-exchanges), register-count macro and the mark of its loop: the lane width,
# with "tl" where the kernel takes the larger of a pair from a three-input logic instruction.
describe() {
    local bits=${1#*/} avx512=-mavx512f,-mavx512cd,-mavx512bw,-mavx512dq,-mavx512vl
    [ "$bits" != "$1" ] || bits=32
    case $1 in
    scalar-x86) echo "x86 scalar.cpp -O3 0 - 32" ;;
    sse41 | sse41/*) echo "x86 sse41.cpp -msse4.1 $((128 / bits)) SORTDEMO_SSE41_REGISTERS $bits" ;;
    avx2 | avx2/*) echo "x86 avx2.cpp -mavx2 $((256 / bits)) SORTDEMO_AVX2_REGISTERS $bits" ;;
    avx512vbmi/8) echo "x86 avx512_vbmi.cpp $avx512,-mavx512vbmi $((512 / bits))" \
        "SORTDEMO_AVX512_REGISTERS $bits" ;;
    avx512 | avx512/*)
        echo "x86 avx512.cpp $avx512 $((512 / bits)) SORTDEMO_AVX512_REGISTERS $bits" ;;
    avx512tl | avx512tl/*)
        echo "x86 avx512.cpp $avx512 $((512 / bits)) SORTDEMO_AVX512_REGISTERS ${bits}tl" ;;
    scalar-arm) echo "arm scalar.cpp -O3 0 - 32" ;;
    neon | neon/*) echo "arm neon.cpp -O3 $((128 / bits)) SORTDEMO_NEON_REGISTERS $bits" ;;
    *) echo "unknown kernel: $1" >&2 && exit 2 ;;
    esac
}

# Whether the processor has the kernel's instruction set, as clang knows it for -march.
has_instructions() { # kernel cpu
    local macro
    case $1 in
    sse41*) macro=__SSE4_1__ ;;
    avx2*) macro=__AVX2__ ;;
    avx512vbmi*) macro=__AVX512VBMI__ ;;
    avx512*) macro=__AVX512VL__ ;;
    *) return 0 ;;
    esac
    clang++ -march="$2" -dM -E -x c++ /dev/null | grep "define $macro " >/dev/null
}

triple() { [ "$1" = x86 ] && echo x86_64-linux-gnu || echo aarch64-linux-gnu; }

# The work of twelve compare-exchanges of independent registers of the kernel's lanes (signed
# for 32 bits, unsigned for 16 and 8): a min and a max each, or a min and a three-input logic
# instruction (avx512tl); for the scalar kernel twelve conditional moves, six compare-exchanges.
# Its throughput is the model's limit for a kernel of that instruction set and width.
limit_block() {
    local k x86 arm
    case ${1#*/} in
    16 | 16tl) x86=minuw arm=min.8h ;;
    8 | 8tl) x86=minub arm=min.16b ;;
    *) x86=minsd arm=min.4s ;;
    esac
    local max=${x86/min/max} sign=u
    [ "$x86" = minsd ] && sign=s
    # Min and max on registers of their own (x86-64 before AVX-512 has 16: six of each, used
    # twice), so that no model waits on a result.
    local m x
    for ((k = 0; k < 12; ++k)); do
        m=$((k % 6)) x=$((6 + k % 6))
        case $1 in
        sse41*) printf '\tp%s %%xmm15, %%xmm%d\n\tp%s %%xmm14, %%xmm%d\n' "$x86" "$m" "$max" "$x" ;;
        avx2*) printf '\tvp%s %%ymm15, %%ymm%d, %%ymm%d\n\tvp%s %%ymm14, %%ymm%d, %%ymm%d\n' \
            "$x86" "$m" "$m" "$max" "$x" "$x" ;;
        avx512tl*) printf '\tvp%s %%zmm31, %%zmm%d, %%zmm%d\n' "$x86" "$k" "$k"
            printf '\tvpternlogd $0x96, %%zmm31, %%zmm30, %%zmm%d\n' "$((12 + k))" ;;
        avx512*) printf '\tvp%s %%zmm31, %%zmm%d, %%zmm%d\n\tvp%s %%zmm30, %%zmm%d, %%zmm%d\n' \
            "$x86" "$k" "$k" "$max" "$((12 + k))" "$((12 + k))" ;;
        neon*) printf '\t%s v%d.%s, v%d.%s, v31.%s\n\t%s v%d.%s, v%d.%s, v30.%s\n' \
            "$sign${arm%.*}" "$k" "${arm#*.}" "$k" "${arm#*.}" "${arm#*.}" \
            "${sign}max" "$((12 + k))" "${arm#*.}" "$((12 + k))" "${arm#*.}" "${arm#*.}" ;;
        scalar-x86) [ "$k" -eq 0 ] && printf '\tcmpl %%r15d, %%r14d\n'
            printf '\tcmovll %%r15d, %%%s\n' "$(echo eax ebx ecx edx esi edi r8d r9d r10d r11d r12d r13d | cut -d' ' -f$((k + 1)))" ;;
        scalar-arm) [ "$k" -eq 0 ] && printf '\tcmp w15, w14\n'
            printf '\tcsel w%d, w%d, w15, lt\n' "$k" "$k" ;;
        esac
    done
}

# The hot loop around the mark, as one llvm-mca region: the shortest stretch from a label before
# the mark to a branch back to it after the mark. (The mark reads '#' on x86-64 and '//' on
# AArch64, where the compiler rewrites the comment; llvm-mca 14 takes a region there only in the
# '#' form, so the region's own marks are written in that.)
innermost_loop() { # lane width
    awk -v bits="$1" '{ line[++n] = $0 }
         /LLVM-MCA-LOOP/ && $NF == bits && !mark { mark = n }
         /^[.A-Za-z0-9_]+:/ { label = $0; sub(/:.*/, "", label); at[label] = n }
         mark && n > mark && $1 ~ /^(j|b|cb|tb)/ && ($NF in at) && at[$NF] < mark {
             if (!to || n - at[$NF] < to - from) { from = at[$NF]; to = n } }
         END { print "# LLVM-MCA-BEGIN"
               for (k = from + 1; k <= to; ++k)
                   if (line[k] !~ /LLVM-MCA|APP/) print line[k]
               print "# LLVM-MCA-END" }'
}

# Cycles of a marked region: "instructions cycles" a step, from 1000 simulated iterations.
simulate() { # file cpu arch
    "$mca" -mtriple="$(triple "$3")" -mcpu="$2" -iterations=1000 "$1" 2>/dev/null |
        awk '/^Iterations:/ { it = $2 } /^Instructions:/ { ins = $2 } /^Total Cycles:/ { cy = $3 }
             END { printf "%.1f %.2f\n", ins / it, cy / it }'
}

# The scheduling model behind a processor name: several names share one in LLVM 14, which shows
# in the processor resources it lists; the model is named by those resources' common prefix.
model_of() { # cpu arch
    local block="$work/probe.s"
    limit_block "$([ "$2" = x86 ] && echo scalar-x86 || echo scalar-arm)" >"$block"
    "$mca" -mtriple="$(triple "$2")" -mcpu="$1" "$block" 2>/dev/null |
        awk '/^Resources:/ { on = 1; next }
             on && NF == 0 { exit }
             on { list = list " " $3; if (label == "") label = $3 }
             END { sub(/(Unit|Port|FPDivider|Divider|AGU|ALU).*$/, "", label); print label list }'
}

# Each model once, with the names it covers: "label|name,name".
group_models() { # arch names...
    local arch=$1 cpu
    shift
    declare -A names=()
    local order=()
    for cpu in "$@"; do
        local signature
        signature=$(model_of "$cpu" "$arch")
        [ -n "${names[$signature]:-}" ] || order+=("$signature")
        names[$signature]="${names[$signature]:+${names[$signature]},}$cpu"
    done
    for signature in "${order[@]}"; do
        echo "${signature%% *}|${names[$signature]}"
    done
}

# One table row per kernel, register count and model.
model_kernel() { # kernel registers models...
    local kernel=$1 registers=$2
    shift 2
    read -r arch source flags lanes macro mark <<<"$(describe "$kernel")"
    local define=() steps
    [ "$macro" = - ] || define=("-D$macro=$registers")
    local asm="$work/${kernel//\//-}-$registers.s"
    local cxx=(clang++ --target="$(triple "$arch")")
    if [ "$compiler" = gcc ]; then
        [ "$arch" = x86 ] && cxx=(g++) || cxx=(aarch64-linux-gnu-g++)
    fi
    "${cxx[@]}" -std=c++20 -O3 ${flags//,/ } -DSORTDEMO_MCA_MARKERS "${define[@]}" \
        -S "src/bubble_sort/$source" -o "$asm"
    innermost_loop "$mark" <"$asm" >"$asm.loop"
    mv "$asm.loop" "$asm"
    local spills
    spills=$(grep -c -E '\(%rsp\)|\(%rbp\)|\[sp' "$asm" || true)
    if [ "$lanes" -eq 0 ]; then
        steps=4
        lanes=1
    else
        steps=$((registers * lanes))
    fi
    [ "$spills" -eq 0 ] || spilled+=("$kernel at $registers registers")
    limit_block "$kernel" >"$work/limit.s"
    # The block holds twelve compare-exchanges of a register; the scalar one's twelve moves, six.
    local blockCes=12
    [ "$lanes" -eq 1 ] && [ "$steps" -eq 4 ] && blockCes=6
    local entry label names
    for entry in "$@"; do
        label=${entry%%|*}
        names=${entry#*|}
        # Only the names of processors that have the kernel's instruction set.
        names=$(tr , '\n' <<<"$names" | while read -r cpu; do
            if has_instructions "$kernel" "$cpu"; then echo "$cpu"; fi
        done | paste -sd, -)
        [ -n "$names" ] || continue
        local cpu=${names%%,*} instructions cycles limitCycles
        read -r instructions cycles <<<"$(simulate "$asm" "$cpu" "$arch")"
        read -r _ limitCycles <<<"$(simulate "$work/limit.s" "$cpu" "$arch")"
        awk -v k="$kernel" -v r="$registers" -v m="$label" -v n="$names" -v i="$instructions" \
            -v c="$cycles" -v ce="$steps" -v lc="$limitCycles" -v lanes="$lanes" -v s="$spills" \
            -v bc="$blockCes" '
            BEGIN {
                limit = bc / lc * lanes
                printf "%-10s %2s %-9s %-34s %5.1f %7.2f %4d %7.2f %7.2f %5.0f%% %3d\n",
                       k, r, m, n, i, c, ce, ce / c, limit, 100 * ce / c / limit, s
            }'
    done
}

default_registers() { # kernel
    read -r _ source _ _ macro _ <<<"$(describe "$1")"
    [ "$macro" = - ] && echo - && return
    # The AVX-512 files take theirs from avx512_ops.h.
    cat "src/bubble_sort/$source" src/bubble_sort/*.h | sed -n -E "s/^#define $macro ([0-9]+)/\1/p" |
        head -n 1
}

spilled=()
# (Command substitution: read through process substitution, the second group found its work
# folder gone, which the EXIT trap's removal of it would explain.)
groups=$(group_models x86 $models_x86)
mapfile -t x86 <<<"$groups"
groups=$(group_models arm $models_arm)
mapfile -t arm <<<"$groups"
printf '%-10s %2s %-9s %-34s %5s %7s %4s %7s %7s %6s %3s\n' kernel R model "processor names" \
    instr cycles CEs CE/cyc limit share stk
if [ $# -gt 0 ]; then
    kernel=$1
    shift
    read -r arch _ <<<"$(describe "$kernel")"
    [ "$arch" = x86 ] && models=("${x86[@]}") || models=("${arm[@]}")
    for registers in "$@"; do
        model_kernel "$kernel" "$registers" "${models[@]}"
    done
else
    for kernel in scalar-x86 sse41/32 sse41/16 sse41/8 avx2/32 avx2/16 avx2/8 avx512/32 \
        avx512/16 avx512/8 avx512tl/32 avx512tl/16 avx512tl/8 avx512vbmi/8; do
        model_kernel "$kernel" "$(default_registers "$kernel")" "${x86[@]}"
    done
    for kernel in scalar-arm neon/32 neon/16 neon/8; do
        model_kernel "$kernel" "$(default_registers "$kernel")" "${arm[@]}"
    done
fi
cat <<'EOF'

R: the window's registers; instr and cycles: a step of the hot loop, its branch included;
CEs: compare-exchanges a step; limit: compare-exchanges a cycle when the model's vector pipes
issue nothing but a min and a max (avx512tl: a min and a three-input logic instruction) for every
register of the kernel's lanes (conditional moves for scalar); stk: stack accesses a step
(spills).
EOF
# The kernels' own register counts must keep the window in registers.
if [ $# -eq 0 ] && [ ${#spilled[@]} -gt 0 ]; then
    printf 'error: the hot loop spills to the stack: %s\n' "${spilled[@]}" >&2
    exit 1
fi
