#include "machine_rates.h"

#include <algorithm>
#include <chrono>
#include <limits>

#include "bubble_sort/cpu_features.h"

double MachineRates::perCycle(const std::string& isa, const std::string& kind) const {
    for (const IssueRate& rate : rates) {
        if (rate.isa == isa && rate.kind == kind) {
            return rate.perCycle;
        }
    }
    return 0;
}

// The probes are written in assembly, so that no compiler can fold, reorder or vectorise them:
// each runs its loop n times, and a loop is 96 instructions (8 rounds over 12 registers) and its
// branch. GCC and Clang only; elsewhere nothing is measured.
#if (defined(__GNUC__) || defined(__clang__)) && (defined(__x86_64__) || defined(__aarch64__))
#define SORTDEMO_PROBES 1

namespace {

constexpr double kInstructionsPerLoop = 96;

#if defined(__x86_64__)

// Twelve chains of insn, on registers 0 to 11 (\r in insn), with register 15 as the other operand.
#define SORTDEMO_PROBE(name, features, insn)                                                     \
    __attribute__((target(features))) void name(long n) {                                        \
        __asm__ volatile("1:\n\t.rept 8\n\t.irp r,0,1,2,3,4,5,6,7,8,9,10,11\n\t" insn            \
                         "\n\t.endr\n\t.endr\n\tdec %0\n\tjnz 1b"                                \
                         : "+r"(n)                                                               \
                         :                                                                       \
                         : "cc", "xmm0", "xmm1", "xmm2", "xmm3", "xmm4", "xmm5", "xmm6", "xmm7", \
                           "xmm8", "xmm9", "xmm10", "xmm11", "xmm14", "xmm15");                  \
    }

SORTDEMO_PROBE(sse41Min32, "sse4.1", "pminsd %%xmm15, %%xmm\\r")
SORTDEMO_PROBE(sse41Min16, "sse4.1", "pminuw %%xmm15, %%xmm\\r")
SORTDEMO_PROBE(sse41Min8, "sse4.1", "pminub %%xmm15, %%xmm\\r")
SORTDEMO_PROBE(sse41Logic, "sse4.1", "pxor %%xmm15, %%xmm\\r")
SORTDEMO_PROBE(avx2Min32, "avx2", "vpminsd %%ymm15, %%ymm\\r, %%ymm\\r")
SORTDEMO_PROBE(avx2Min16, "avx2", "vpminuw %%ymm15, %%ymm\\r, %%ymm\\r")
SORTDEMO_PROBE(avx2Min8, "avx2", "vpminub %%ymm15, %%ymm\\r, %%ymm\\r")
SORTDEMO_PROBE(avx2Logic, "avx2", "vpxor %%ymm15, %%ymm\\r, %%ymm\\r")
SORTDEMO_PROBE(avx512Min32, "avx512f,avx512bw", "vpminsd %%zmm15, %%zmm\\r, %%zmm\\r")
SORTDEMO_PROBE(avx512Min16, "avx512f,avx512bw", "vpminuw %%zmm15, %%zmm\\r, %%zmm\\r")
SORTDEMO_PROBE(avx512Min8, "avx512f,avx512bw", "vpminub %%zmm15, %%zmm\\r, %%zmm\\r")
SORTDEMO_PROBE(avx512Logic, "avx512f,avx512bw", "vpternlogd $0x96, %%zmm15, %%zmm14, %%zmm\\r")
SORTDEMO_PROBE(avx512Xor, "avx512f,avx512bw", "vpxord %%zmm15, %%zmm\\r, %%zmm\\r")

// One chain of dependent adds of a register: one a cycle.
void clockChain(long n) {
    long x = 0;
    const long y = 1;
    __asm__ volatile("1:\n\t.rept 96\n\tadd %2, %1\n\t.endr\n\tdec %0\n\tjnz 1b"
                     : "+r"(n), "+r"(x)
                     : "r"(y)
                     : "cc");
}

#else  // __aarch64__

#define SORTDEMO_PROBE(name, insn)                                                           \
    void name(long n) {                                                                      \
        __asm__ volatile("1:\n\t.rept 8\n\t.irp r,0,1,2,3,4,5,6,7,8,9,10,11\n\t" insn        \
                         "\n\t.endr\n\t.endr\n\tsubs %0, %0, #1\n\tb.ne 1b"                  \
                         : "+r"(n)                                                           \
                         :                                                                   \
                         : "cc", "v0", "v1", "v2", "v3", "v4", "v5", "v6", "v7", "v8", "v9", \
                           "v10", "v11", "v31");                                             \
    }

SORTDEMO_PROBE(neonMin32, "smin v\\r\\().4s, v\\r\\().4s, v31.4s")
SORTDEMO_PROBE(neonMin16, "umin v\\r\\().8h, v\\r\\().8h, v31.8h")
SORTDEMO_PROBE(neonMin8, "umin v\\r\\().16b, v\\r\\().16b, v31.16b")
SORTDEMO_PROBE(neonLogic, "eor v\\r\\().16b, v\\r\\().16b, v31.16b")

void clockChain(long n) {
    long x = 0;
    const long y = 1;
    __asm__ volatile("1:\n\t.rept 96\n\tadd %1, %1, %2\n\t.endr\n\tsubs %0, %0, #1\n\tb.ne 1b"
                     : "+r"(n), "+r"(x)
                     : "r"(y)
                     : "cc");
}

#endif

// Seconds a loop of the probe takes, after a run to wake the core (its clock, and the wide vector
// units some cores power up on first use): about 10 ms.
double secondsPerLoop(void (*probe)(long)) {
    using Clock = std::chrono::steady_clock;
    constexpr long kLoops = 400000;
    const Clock::time_point start = Clock::now();
    probe(kLoops);
    return std::chrono::duration<double>(Clock::now() - start).count() / kLoops;
}

// The fastest of 7 runs of a probe's loop and of the clock chain's loop, in seconds: runs of the
// two take turns, so that both are timed at the same clock speed. Anything else running can only
// slow a run down, so each fastest is the core's own. (The fastest ratio of single runs would
// gain from a chain run slowed down: it read 2.4 vpternlogd a cycle on a core that issues 2.)
struct FastestLoops {
    double probe = std::numeric_limits<double>::infinity();
    double chain = std::numeric_limits<double>::infinity();
};

FastestLoops fastestLoops(void (*probe)(long)) {
    secondsPerLoop(probe);
    FastestLoops fastest;
    for (int k = 0; k < 7; ++k) {
        fastest.chain = std::min(fastest.chain, secondsPerLoop(clockChain));
        fastest.probe = std::min(fastest.probe, secondsPerLoop(probe));
    }
    return fastest;
}

}  // namespace

#endif

MachineRates measureMachineRates() {
    MachineRates machine;
#ifdef SORTDEMO_PROBES
    const FastestLoops clock = fastestLoops(clockChain);
    machine.clockGHz = 1e-9 * kInstructionsPerLoop / std::min(clock.probe, clock.chain);
    struct Probe {
        bool runs;
        const char* isa;
        const char* instruction;
        const char* kind;
        void (*probe)(long);
    };
#if defined(__x86_64__)
    const CpuFeatures& cpu = cpuFeatures();
    const Probe probes[] = {
        {cpu.sse41, "sse41", "pminsd", "min32", sse41Min32},
        {cpu.sse41, "sse41", "pminuw", "min16", sse41Min16},
        {cpu.sse41, "sse41", "pminub", "min8", sse41Min8},
        {cpu.sse41, "sse41", "pxor", "logic", sse41Logic},
        {cpu.avx2, "avx2", "vpminsd ymm", "min32", avx2Min32},
        {cpu.avx2, "avx2", "vpminuw ymm", "min16", avx2Min16},
        {cpu.avx2, "avx2", "vpminub ymm", "min8", avx2Min8},
        {cpu.avx2, "avx2", "vpxor ymm", "logic", avx2Logic},
        {cpu.avx512, "avx512", "vpminsd zmm", "min32", avx512Min32},
        {cpu.avx512, "avx512", "vpminuw zmm", "min16", avx512Min16},
        {cpu.avx512, "avx512", "vpminub zmm", "min8", avx512Min8},
        {cpu.avx512, "avx512", "vpternlogd zmm", "logic", avx512Logic},
        {cpu.avx512, "avx512", "vpxord zmm", "xor", avx512Xor},
    };
#else
    const Probe probes[] = {
        {true, "neon", "smin .4s", "min32", neonMin32},
        {true, "neon", "umin .8h", "min16", neonMin16},
        {true, "neon", "umin .16b", "min8", neonMin8},
        {true, "neon", "eor .16b", "logic", neonLogic},
    };
#endif
    for (const Probe& probe : probes) {
        if (probe.runs) {
            // Both loops hold 96 instructions, and the chain's take 96 cycles.
            const FastestLoops loops = fastestLoops(probe.probe);
            machine.rates.push_back(
                {probe.isa, probe.instruction, probe.kind, loops.chain / loops.probe});
        }
    }
#endif
    return machine;
}
