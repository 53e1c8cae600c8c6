// The 16-bit and 8-bit lanes of the AVX-512 kernel, compiled for AVX-512BW, which has their min,
// max and masks; called only after the processor has been checked.
#include <immintrin.h>

#include "wavefront.h"

namespace {

// 32 lanes of 16 bits or 64 of 8, unsigned.
template <class LaneType>
struct Avx512BwOps {
    using Lane = LaneType;
    using Reg = __m512i;
    using Mask = std::conditional_t<sizeof(Lane) == 1, __mmask64, __mmask32>;
    static constexpr int lanes = 64 / sizeof(Lane);

    static Reg broadcast(Lane v) {
        if constexpr (sizeof(Lane) == 1) {
            return _mm512_set1_epi8(static_cast<char>(v));
        } else {
            return _mm512_set1_epi16(static_cast<short>(v));
        }
    }
    // The register *p is shifted in from: only its lane 0 is, from the low bits of the 32-bit
    // distance from the minimum.
    static Reg enter(const std::int32_t* p, std::int32_t minimum) {
        return _mm512_castsi128_si512(
            _mm_sub_epi32(_mm_cvtsi32_si128(*p), _mm_cvtsi32_si128(minimum)));
    }
    static Reg min(Reg x, Reg y) {
        if constexpr (sizeof(Lane) == 1) {
            return _mm512_min_epu8(x, y);
        } else {
            return _mm512_min_epu16(x, y);
        }
    }
    static Reg max(Reg x, Reg y) {
        if constexpr (sizeof(Lane) == 1) {
            return _mm512_max_epu8(x, y);
        } else {
            return _mm512_max_epu16(x, y);
        }
    }
    // Lanes 1.. of lo move down one and the top lane comes from lane 0 of top: each 128-bit block
    // of lo takes its new top byte(s) from the block above it, which the 32-bit align brings
    // beside it (the top block's from top). No byte permute needed, so BW is enough.
    static Reg shiftInTop(Reg lo, Reg top) {
        const Reg above = _mm512_alignr_epi32(top, lo, 4);
        return _mm512_alignr_epi8(above, lo, sizeof(Lane));
    }
    // Lane 0 as the element it stands for, to *p: the distance added to the minimum in the vector
    // unit, which keeps the scalar ports free for the loop.
    static void leave(std::int32_t* p, Reg v, std::int32_t minimum) {
        const __m128i low = _mm_and_si128(_mm512_castsi512_si128(v),
                                          _mm_cvtsi32_si128(std::numeric_limits<Lane>::max()));
        *p = _mm_cvtsi128_si32(_mm_add_epi32(low, _mm_cvtsi32_si128(minimum)));
    }
    static Mask firstLanes(int count) {
        return static_cast<Mask>(count >= lanes ? ~std::uint64_t{0}
                                                : (std::uint64_t{1} << count) - 1);
    }
    static Reg select(Mask mask, Reg ifTrue, Reg ifFalse) {
        if constexpr (sizeof(Lane) == 1) {
            return _mm512_mask_blend_epi8(mask, ifFalse, ifTrue);
        } else {
            return _mm512_mask_blend_epi16(mask, ifFalse, ifTrue);
        }
    }
    static void store(Lane* p, Reg v) { _mm512_storeu_si512(p, v); }
};

}  // namespace

// As many registers as the 32-bit lanes' window (avx512.cpp), for the same reasons.
#ifndef SORTDEMO_AVX512_REGISTERS
#define SORTDEMO_AVX512_REGISTERS 12
#endif

void bubbleSortAvx512U16(std::int32_t* a, std::int32_t n, SortProgress* progress) {
    wavefront::sort<Avx512BwOps<std::uint16_t>, SORTDEMO_AVX512_REGISTERS>(a, n, progress,
                                                                           bubbleSortAvx512);
}

void bubbleSortAvx512U8(std::int32_t* a, std::int32_t n, SortProgress* progress) {
    wavefront::sort<Avx512BwOps<std::uint8_t>, SORTDEMO_AVX512_REGISTERS>(a, n, progress,
                                                                          bubbleSortAvx512U16);
}
