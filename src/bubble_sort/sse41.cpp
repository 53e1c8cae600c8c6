// Compiled for SSE4.1 alone; called only after the processor has been checked.
#include <immintrin.h>

#include "wavefront.h"

namespace {

// 4 lanes of 32 bits (signed), 8 of 16 or 16 of 8 (unsigned).
template <class LaneType>
struct Sse41Ops {
    using Lane = LaneType;
    using Reg = __m128i;
    using Mask = __m128i;
    static constexpr int lanes = 16 / sizeof(Lane);

    static Reg broadcast(Lane v) {
        if constexpr (sizeof(Lane) == 1) {
            return _mm_set1_epi8(static_cast<char>(v));
        } else if constexpr (sizeof(Lane) == 2) {
            return _mm_set1_epi16(static_cast<short>(v));
        } else {
            return _mm_set1_epi32(v);
        }
    }
    // The register *p is shifted in from: only its lane 0 is, which narrow lanes take from the
    // low bits of the 32-bit distance from the minimum.
    static Reg enter(const std::int32_t* p, std::int32_t minimum) {
        if constexpr (sizeof(Lane) == 4) {
            static_cast<void>(minimum);
            return _mm_set1_epi32(*p);
        } else {
            return _mm_sub_epi32(_mm_cvtsi32_si128(*p), _mm_cvtsi32_si128(minimum));
        }
    }
    // A narrow lane from the window's buffer (see wavefront::Batch) in lane 0: a load alone, no
    // vector instruction.
    static Reg enter(const std::uint32_t* p) { return _mm_cvtsi32_si128(static_cast<int>(*p)); }
    static Reg min(Reg x, Reg y) {
        if constexpr (sizeof(Lane) == 1) {
            return _mm_min_epu8(x, y);
        } else if constexpr (sizeof(Lane) == 2) {
            return _mm_min_epu16(x, y);
        } else {
            return _mm_min_epi32(x, y);
        }
    }
    static Reg max(Reg x, Reg y) {
        if constexpr (sizeof(Lane) == 1) {
            return _mm_max_epu8(x, y);
        } else if constexpr (sizeof(Lane) == 2) {
            return _mm_max_epu16(x, y);
        } else {
            return _mm_max_epi32(x, y);
        }
    }
    // Lanes 1.. of lo move down one; the top lane comes from lane 0 of top.
    static Reg shiftInTop(Reg lo, Reg top) { return _mm_alignr_epi8(top, lo, sizeof(Lane)); }
    // Lane 0 as the element it stands for, to *p: the narrow lanes' distance added to the minimum
    // in the vector unit, which keeps the scalar ports free for the loop.
    static void leave(std::int32_t* p, Reg v, std::int32_t minimum) {
        if constexpr (sizeof(Lane) == 4) {
            static_cast<void>(minimum);
            *p = _mm_cvtsi128_si32(v);
        } else {
            const Reg low = _mm_and_si128(v, _mm_cvtsi32_si128(std::numeric_limits<Lane>::max()));
            *p = _mm_cvtsi128_si32(_mm_add_epi32(low, _mm_cvtsi32_si128(minimum)));
        }
    }
    // Lane 0 to the window's buffer, with the lanes above it in the word: a store alone.
    static void leave(std::uint32_t* p, Reg v) {
        *p = static_cast<std::uint32_t>(_mm_cvtsi128_si32(v));
    }
    // The 32-bit lanes' pair numbers and their compare (see wavefront::takingPart).
    static Reg laneTimes(std::int32_t step, std::int32_t offset) {
        return _mm_setr_epi32(offset, offset + step, offset + 2 * step, offset + 3 * step);
    }
    static Mask lessThan(Reg x, Reg y) { return _mm_cmplt_epi32(x, y); }
    // The narrow lanes' first count lanes. Lane indices are below 16, so the signed compare serves.
    static Mask firstLanes(int count) {
        const Reg index = _mm_setr_epi8(0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15);
        if constexpr (sizeof(Lane) == 1) {
            return _mm_cmplt_epi8(index, _mm_set1_epi8(static_cast<char>(count)));
        } else {
            return _mm_cmplt_epi16(_mm_cvtepu8_epi16(index),
                                   _mm_set1_epi16(static_cast<short>(count)));
        }
    }
    static Reg select(Mask mask, Reg ifTrue, Reg ifFalse) {
        return _mm_blendv_epi8(ifFalse, ifTrue, mask);
    }
    static void store(Lane* p, Reg v) { _mm_storeu_si128(reinterpret_cast<__m128i*>(p), v); }
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
    wavefront::sort<Sse41Ops<std::int32_t>, SORTDEMO_SSE41_REGISTERS>(a, n, progress);
}

void bubbleSortSse41U16(std::int32_t* a, std::int32_t n, SortProgress* progress) {
    wavefront::sort<Sse41Ops<std::uint16_t>, SORTDEMO_SSE41_REGISTERS>(a, n, progress,
                                                                       bubbleSortSse41);
}

void bubbleSortSse41U8(std::int32_t* a, std::int32_t n, SortProgress* progress) {
    wavefront::sort<Sse41Ops<std::uint8_t>, SORTDEMO_SSE41_REGISTERS>(a, n, progress,
                                                                      bubbleSortSse41U16);
}
