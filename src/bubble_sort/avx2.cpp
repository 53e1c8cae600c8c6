// Compiled for AVX2 alone; called only after the processor has been checked.
#include <immintrin.h>

#include "wavefront.h"

namespace {

// 8 lanes of 32 bits (signed), 16 of 16 or 32 of 8 (unsigned).
template <class LaneType>
struct Avx2Ops {
    using Lane = LaneType;
    using Reg = __m256i;
    using Mask = __m256i;
    static constexpr int lanes = 32 / sizeof(Lane);

    static Reg broadcast(Lane v) {
        if constexpr (sizeof(Lane) == 1) {
            return _mm256_set1_epi8(static_cast<char>(v));
        } else if constexpr (sizeof(Lane) == 2) {
            return _mm256_set1_epi16(static_cast<short>(v));
        } else {
            return _mm256_set1_epi32(v);
        }
    }
    // The register *p is shifted in from: the 32-bit shift takes lane 7, the narrow ones lane 0,
    // from the low bits of the 32-bit distance from the minimum.
    static Reg enter(const std::int32_t* p, std::int32_t minimum) {
        if constexpr (sizeof(Lane) == 4) {
            static_cast<void>(minimum);
            return _mm256_set1_epi32(*p);
        } else {
            return _mm256_castsi128_si256(
                _mm_sub_epi32(_mm_cvtsi32_si128(*p), _mm_cvtsi32_si128(minimum)));
        }
    }
    // A narrow lane from the window's buffer (see wavefront::Batch) in lane 0: a load alone, no
    // vector instruction.
    static Reg enter(const std::uint32_t* p) {
        return _mm256_castsi128_si256(_mm_cvtsi32_si128(static_cast<int>(*p)));
    }
    static Reg min(Reg x, Reg y) {
        if constexpr (sizeof(Lane) == 1) {
            return _mm256_min_epu8(x, y);
        } else if constexpr (sizeof(Lane) == 2) {
            return _mm256_min_epu16(x, y);
        } else {
            return _mm256_min_epi32(x, y);
        }
    }
    static Reg max(Reg x, Reg y) {
        if constexpr (sizeof(Lane) == 1) {
            return _mm256_max_epu8(x, y);
        } else if constexpr (sizeof(Lane) == 2) {
            return _mm256_max_epu16(x, y);
        } else {
            return _mm256_max_epi32(x, y);
        }
    }
    // Lanes 1.. of lo move down one and the top lane comes from top. Narrow lanes move across
    // the two 128-bit halves as bytes: the upper half of lo and the lower of top, set beside lo.
    static Reg shiftInTop(Reg lo, Reg top) {
        if constexpr (sizeof(Lane) == 4) {
            const Reg down =
                _mm256_permutevar8x32_epi32(lo, _mm256_setr_epi32(1, 2, 3, 4, 5, 6, 7, 7));
            return _mm256_blend_epi32(down, top, 0x80);
        } else {
            const Reg above = _mm256_permute2x128_si256(lo, top, 0x21);
            return _mm256_alignr_epi8(above, lo, sizeof(Lane));
        }
    }
    // Lane 0 as the element it stands for, to *p: the narrow lanes' distance added to the minimum
    // in the vector unit, which keeps the scalar ports free for the loop.
    static void leave(std::int32_t* p, Reg v, std::int32_t minimum) {
        if constexpr (sizeof(Lane) == 4) {
            static_cast<void>(minimum);
            *p = _mm256_cvtsi256_si32(v);
        } else {
            const __m128i low = _mm_and_si128(_mm256_castsi256_si128(v),
                                              _mm_cvtsi32_si128(std::numeric_limits<Lane>::max()));
            *p = _mm_cvtsi128_si32(_mm_add_epi32(low, _mm_cvtsi32_si128(minimum)));
        }
    }
    // Lane 0 to the window's buffer, with the lanes above it in the word: a store alone.
    static void leave(std::uint32_t* p, Reg v) {
        *p = static_cast<std::uint32_t>(_mm_cvtsi128_si32(_mm256_castsi256_si128(v)));
    }
    // The 32-bit lanes' pair numbers and their compare (see wavefront::takingPart).
    static Reg laneTimes(std::int32_t step, std::int32_t offset) {
        return _mm256_setr_epi32(offset, offset + step, offset + 2 * step, offset + 3 * step,
                                 offset + 4 * step, offset + 5 * step, offset + 6 * step,
                                 offset + 7 * step);
    }
    static Mask lessThan(Reg x, Reg y) { return _mm256_cmpgt_epi32(y, x); }
    // The narrow lanes' first count lanes. Lane indices are below 32, so the signed compare
    // serves.
    static Mask firstLanes(int count) {
        const __m128i index = _mm_setr_epi8(0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15);
        if constexpr (sizeof(Lane) == 1) {
            const Reg all = _mm256_setr_m128i(index, _mm_add_epi8(index, _mm_set1_epi8(16)));
            return _mm256_cmpgt_epi8(_mm256_set1_epi8(static_cast<char>(count)), all);
        } else {
            return _mm256_cmpgt_epi16(_mm256_set1_epi16(static_cast<short>(count)),
                                      _mm256_cvtepu8_epi16(index));
        }
    }
    static Reg select(Mask mask, Reg ifTrue, Reg ifFalse) {
        return _mm256_blendv_epi8(ifFalse, ifTrue, mask);
    }
    static void store(Lane* p, Reg v) { _mm256_storeu_si256(reinterpret_cast<__m256i*>(p), v); }
};

}  // namespace

// The window takes two of the 16 YMM registers for each of its R registers of passes; 6 leave
// room for a step's temporaries, so nothing is spilled to the stack (scripts/model.sh checks).
#ifndef SORTDEMO_AVX2_REGISTERS
#define SORTDEMO_AVX2_REGISTERS 6
#endif

void bubbleSortAvx2(std::int32_t* a, std::int32_t n, SortProgress* progress) {
    wavefront::sort<Avx2Ops<std::int32_t>, SORTDEMO_AVX2_REGISTERS>(a, n, progress);
}

void bubbleSortAvx2U16(std::int32_t* a, std::int32_t n, SortProgress* progress) {
    wavefront::sort<Avx2Ops<std::uint16_t>, SORTDEMO_AVX2_REGISTERS>(a, n, progress,
                                                                     bubbleSortAvx2);
}

void bubbleSortAvx2U8(std::int32_t* a, std::int32_t n, SortProgress* progress) {
    wavefront::sort<Avx2Ops<std::uint8_t>, SORTDEMO_AVX2_REGISTERS>(a, n, progress,
                                                                    bubbleSortAvx2U16);
}
