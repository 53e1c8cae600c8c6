// Compiled for SSE4.1 alone; called only after the processor has been checked.
#include <immintrin.h>

#include "wavefront.h"

namespace {

struct Sse41Ops {
    using Reg = __m128i;
    static constexpr int lanes = 4;

    static Reg broadcast(std::int32_t v) { return _mm_set1_epi32(v); }
    static Reg loadBroadcast(const std::int32_t* p) { return _mm_set1_epi32(*p); }
    static Reg min(Reg x, Reg y) { return _mm_min_epi32(x, y); }
    static Reg max(Reg x, Reg y) { return _mm_max_epi32(x, y); }
    // Lanes 1..3 of lo move down one; the top lane comes from lane 0 of top.
    static Reg shiftInTop(Reg lo, Reg top) { return _mm_alignr_epi8(top, lo, 4); }
    static std::int32_t firstLane(Reg v) { return _mm_cvtsi128_si32(v); }
    static Reg laneTimes(std::int32_t step, std::int32_t offset) {
        return _mm_setr_epi32(offset, offset + step, offset + 2 * step, offset + 3 * step);
    }
    static Reg lessThan(Reg x, Reg y) { return _mm_cmplt_epi32(x, y); }
    static Reg select(Reg mask, Reg ifTrue, Reg ifFalse) {
        return _mm_blendv_epi8(ifFalse, ifTrue, mask);
    }
    static void store(std::int32_t* p, Reg v) {
        _mm_storeu_si128(reinterpret_cast<__m128i*>(p), v);
    }
};

}  // namespace

// The window takes two of the 16 XMM registers for each of its R registers of passes. 7 leaves two
// for a step's temporaries (SSE's min and max overwrite an operand, so each pair needs a copy):
// no spill with GCC, Clang or MinGW, where 8 spills. llvm-mca's models put 7 at or a little above
// 6 on every processor modelled (scripts/model.sh sse41 5 6 7 8), and it measured faster here.
#ifndef SORTDEMO_SSE41_REGISTERS
#define SORTDEMO_SSE41_REGISTERS 7
#endif

void bubbleSortSse41(std::int32_t* a, std::int32_t n, SortProgress* progress) {
    wavefront::sort<Sse41Ops, SORTDEMO_SSE41_REGISTERS>(a, n, progress);
}
