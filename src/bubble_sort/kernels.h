#pragma once

#include <cstdint>
#include <vector>

#include "cpu_features.h"
#include "progress.h"

// The implementations of the bubble sort. Each does the same n(n-1)/2 compare-exchanges on
// a[0..n) as the textbook loops, with the same result; they differ only in the order in which
// compare-exchanges that do not depend on each other run. Each tells progress, when it is given
// one, how much is left after every group of passes.

// Portable: four passes at a time, each one element behind the previous, each pass's carried
// value kept in a register and the compare-exchange done with min and max rather than a branch.
void bubbleSortScalar(std::int32_t* a, std::int32_t n, SortProgress* progress);

// Many passes at once as a diagonal wavefront in vector registers (see wavefront.h): on x86-64
// with SSE4.1, AVX2 or AVX-512 when the processor has them, on 64-bit ARM with NEON, which it
// always has. Each in 32-bit lanes, and in 16-bit and 8-bit lanes (the U16 and U8 kernels) for
// values whose range (maximum - minimum) fits 16 or 8 bits, with two or four times the passes
// per sweep.
#if defined(__x86_64__) || defined(_M_X64)
#define SORTDEMO_X86_64_KERNELS 1
void bubbleSortSse41(std::int32_t* a, std::int32_t n, SortProgress* progress);
void bubbleSortSse41U16(std::int32_t* a, std::int32_t n, SortProgress* progress);
void bubbleSortSse41U8(std::int32_t* a, std::int32_t n, SortProgress* progress);
void bubbleSortAvx2(std::int32_t* a, std::int32_t n, SortProgress* progress);
void bubbleSortAvx2U16(std::int32_t* a, std::int32_t n, SortProgress* progress);
void bubbleSortAvx2U8(std::int32_t* a, std::int32_t n, SortProgress* progress);
void bubbleSortAvx512(std::int32_t* a, std::int32_t n, SortProgress* progress);
void bubbleSortAvx512U16(std::int32_t* a, std::int32_t n, SortProgress* progress);
void bubbleSortAvx512U8(std::int32_t* a, std::int32_t n, SortProgress* progress);
// The same, each compare-exchange's larger value from the smaller with a three-input logic
// instruction instead of max: for processors whose 512-bit max issues on fewer ports than logic.
void bubbleSortAvx512Logic(std::int32_t* a, std::int32_t n, SortProgress* progress);
void bubbleSortAvx512LogicU16(std::int32_t* a, std::int32_t n, SortProgress* progress);
void bubbleSortAvx512LogicU8(std::int32_t* a, std::int32_t n, SortProgress* progress);
// The 8-bit lanes of the min/max set for processors with AVX-512 VBMI: the window's shift is one
// byte permute instead of two aligns.
void bubbleSortAvx512VbmiU8(std::int32_t* a, std::int32_t n, SortProgress* progress);
#elif defined(__aarch64__) || defined(_M_ARM64)
#define SORTDEMO_NEON_KERNEL 1
void bubbleSortNeon(std::int32_t* a, std::int32_t n, SortProgress* progress);
void bubbleSortNeonU16(std::int32_t* a, std::int32_t n, SortProgress* progress);
void bubbleSortNeonU8(std::int32_t* a, std::int32_t n, SortProgress* progress);
#endif

using BubbleSortKernel = void (*)(std::int32_t* a, std::int32_t n, SortProgress* progress);

struct KernelInfo {
    const char* name;
    BubbleSortKernel sort;
    bool supported;     // the processor and operating system can run it
    int laneBits = 32;  // it sorts only values whose range (maximum - minimum) fits this many bits
};

// The most passes any kernel runs between two progress reports: the widest sweep.
constexpr std::int32_t kMaxSweepPasses = 768;

// Every kernel built into this program, the scalar one first.
std::vector<KernelInfo> bubbleSortKernels();

// The lanes that values from minimum to maximum fit: 8, 16 or 32 bits.
int laneBitsFor(std::int32_t minimum, std::int32_t maximum);

// The fastest kernel for n elements whose range fits laneBits on a processor with these
// features: from kVectorCutoff elements on, the widest vector instruction set it runs (but AVX2
// rather than AVX-512 below avx512Cutoff, which depends on the core) in the narrowest lanes the
// values fit; the scalar kernel below that or without vector kernels.
BubbleSortKernel chooseBubbleSortKernel(const CpuFeatures& features, std::int32_t n,
                                        int laneBits = 32);

// The kernel bubbleSort uses for n elements whose range fits laneBits on this machine.
BubbleSortKernel chooseBubbleSortKernel(std::int32_t n, int laneBits = 32);

// Below this many elements the vector kernels run only their narrow, latency-bound sweeps and
// the scalar kernel is as fast or faster (see scripts/bench.sh, n = 32 to 64). In 16-bit and
// 8-bit lanes they are as fast as in 32-bit ones from there on, and faster above it.
constexpr std::int32_t kVectorCutoff = 48;

// AVX-512 takes over from AVX2 at this many numbers in 32-bit lanes, and at the same number of
// its windows in 16-bit and 8-bit ones, two and four times as wide: below that its 192-pass
// window has at most two full sweeps to run and the rest in narrow ones (scripts/bench.sh,
// n = 256 to 512, on a 2-core AMD EPYC, Zen 5, whose AVX-512 ran 2.5 to 3 times its AVX2).
constexpr std::int32_t kAvx512Cutoff = 512;

// A core that runs 512-bit instructions in two halves (Zen 4) does no more a cycle in AVX-512 than
// in AVX2, whose smaller window wins up to 2048 numbers in 32-bit lanes, 8192 in 16-bit and 16384
// in 8-bit ones (scripts/bench.sh on a 2-core AMD EPYC, Zen 4).
constexpr std::int32_t kAvx512HalfWidthCutoff = 2048;

constexpr std::int32_t avx512Cutoff(int laneBits, bool halfWidth = false) {
    if (halfWidth) {
        return kAvx512HalfWidthCutoff * (laneBits == 8 ? 8 : laneBits == 16 ? 4 : 1);
    }
    return kAvx512Cutoff * (laneBits == 8 ? 4 : laneBits == 16 ? 2 : 1);
}
