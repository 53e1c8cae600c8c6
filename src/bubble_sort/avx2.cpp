// Compiled for AVX2 alone; called only after the processor has been checked.
#include <immintrin.h>

#include "wavefront.h"

namespace {

struct Avx2Ops {
    using Reg = __m256i;
    static constexpr int lanes = 8;

    static Reg broadcast(std::int32_t v) { return _mm256_set1_epi32(v); }
    static Reg loadBroadcast(const std::int32_t* p) { return _mm256_set1_epi32(*p); }
    static Reg min(Reg x, Reg y) { return _mm256_min_epi32(x, y); }
    static Reg max(Reg x, Reg y) { return _mm256_max_epi32(x, y); }
    // Lanes 1..7 of lo move down one; the top lane comes from top.
    static Reg shiftInTop(Reg lo, Reg top) {
        const Reg down = _mm256_permutevar8x32_epi32(lo, _mm256_setr_epi32(1, 2, 3, 4, 5, 6, 7, 7));
        return _mm256_blend_epi32(down, top, 0x80);
    }
    static std::int32_t firstLane(Reg v) { return _mm256_cvtsi256_si32(v); }
    static Reg laneTimes(std::int32_t step, std::int32_t offset) {
        return _mm256_setr_epi32(offset, offset + step, offset + 2 * step, offset + 3 * step,
                                 offset + 4 * step, offset + 5 * step, offset + 6 * step,
                                 offset + 7 * step);
    }
    static Reg lessThan(Reg x, Reg y) { return _mm256_cmpgt_epi32(y, x); }
    static Reg select(Reg mask, Reg ifTrue, Reg ifFalse) {
        return _mm256_blendv_epi8(ifFalse, ifTrue, mask);
    }
    static void store(std::int32_t* p, Reg v) {
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(p), v);
    }
};

}  // namespace

#ifndef SORTDEMO_AVX2_REGISTERS
#define SORTDEMO_AVX2_REGISTERS 6
#endif

void bubbleSortAvx2(std::int32_t* a, std::int32_t n, SortProgress* progress) {
    wavefront::sort<Avx2Ops, SORTDEMO_AVX2_REGISTERS>(a, n, progress);
}
