// The 32-bit lanes, compiled for AVX-512F alone; called only after the processor has been
// checked. The narrow lanes need AVX-512BW and have a file of their own (avx512bw.cpp).
#include <immintrin.h>

#include "wavefront.h"

namespace {

struct Avx512Ops {
    using Lane = std::int32_t;
    using Reg = __m512i;
    using Mask = __mmask16;
    static constexpr int lanes = 16;

    static Reg broadcast(Lane v) { return _mm512_set1_epi32(v); }
    static Reg enter(const std::int32_t* p, std::int32_t) { return _mm512_set1_epi32(*p); }
    static Reg min(Reg x, Reg y) { return _mm512_min_epi32(x, y); }
    static Reg max(Reg x, Reg y) { return _mm512_max_epi32(x, y); }
    // Lanes 1..15 of lo move down one; the top lane comes from lane 0 of top.
    static Reg shiftInTop(Reg lo, Reg top) { return _mm512_alignr_epi32(top, lo, 1); }
    static void leave(std::int32_t* p, Reg v, std::int32_t) {
        *p = _mm_cvtsi128_si32(_mm512_castsi512_si128(v));
    }
    // The lanes' pair numbers and their compare (see wavefront::takingPart).
    static Reg laneTimes(std::int32_t step, std::int32_t offset) {
        const Reg index = _mm512_set_epi32(15, 14, 13, 12, 11, 10, 9, 8, 7, 6, 5, 4, 3, 2, 1, 0);
        return _mm512_add_epi32(_mm512_mullo_epi32(index, _mm512_set1_epi32(step)),
                                _mm512_set1_epi32(offset));
    }
    static Mask lessThan(Reg x, Reg y) { return _mm512_cmplt_epi32_mask(x, y); }
    static Reg select(Mask mask, Reg ifTrue, Reg ifFalse) {
        return _mm512_mask_blend_epi32(mask, ifFalse, ifTrue);
    }
    static void store(Lane* p, Reg v) { _mm512_storeu_si512(p, v); }
};

}  // namespace

// The window takes two of the 32 ZMM registers for each of its R registers of passes. 12 (24 for
// the window) keep the hot loop free of spills with GCC, Clang and MinGW and run about 5% faster
// than 8 on large inputs; 14 measured no faster and leaves only four for a step's temporaries.
#ifndef SORTDEMO_AVX512_REGISTERS
#define SORTDEMO_AVX512_REGISTERS 12
#endif

void bubbleSortAvx512(std::int32_t* a, std::int32_t n, SortProgress* progress) {
    wavefront::sort<Avx512Ops, SORTDEMO_AVX512_REGISTERS>(a, n, progress);
}
