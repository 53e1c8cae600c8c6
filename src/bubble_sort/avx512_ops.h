#pragma once

// The vector operations of the AVX-512 kernels, for the files compiled for AVX-512 (avx512.cpp,
// and avx512_vbmi.cpp with VBMI as well). In an unnamed namespace: each file has its own, built
// for its own instructions.
#include <immintrin.h>

#include <cstdint>
#include <limits>
#include <type_traits>

// The window takes two of the 32 ZMM registers for each of its R registers of passes.
#ifndef SORTDEMO_AVX512_REGISTERS
#define SORTDEMO_AVX512_REGISTERS 12
#endif

namespace {

// 16 lanes of 32 bits (signed), 32 of 16 or 64 of 8 (unsigned). With LogicMax, the larger of a
// pair comes from the smaller through a three-input logic instruction instead of max. With Vbmi,
// for a file compiled for AVX-512 VBMI as well, the 8-bit shift is one permute (see shiftInTop).
template <class LaneType, bool LogicMax, bool Vbmi = false>
struct Avx512Ops {
    using Lane = LaneType;
    using Reg = __m512i;
    using Mask = std::conditional_t<sizeof(Lane) == 1, __mmask64,
                                    std::conditional_t<sizeof(Lane) == 2, __mmask32, __mmask16>>;
    static constexpr int lanes = 64 / sizeof(Lane);
    // Whether shiftInTop is one permute (see there).
    static constexpr bool kPermuteShift = !LogicMax && (sizeof(Lane) == 2 || Vbmi);
    static_assert(!Vbmi || (sizeof(Lane) == 1 && !LogicMax));

    static Reg broadcast(Lane v) {
        if constexpr (sizeof(Lane) == 1) {
            return _mm512_set1_epi8(static_cast<char>(v));
        } else if constexpr (sizeof(Lane) == 2) {
            return _mm512_set1_epi16(static_cast<short>(v));
        } else {
            return _mm512_set1_epi32(v);
        }
    }
    // The register *p is shifted in from: the 32-bit shift takes lane 15, the narrow ones lane 0,
    // from the low bits of the 32-bit distance from the minimum.
    static Reg enter(const std::int32_t* p, std::int32_t minimum) {
        if constexpr (sizeof(Lane) == 4) {
            static_cast<void>(minimum);
            return _mm512_set1_epi32(*p);
        } else {
            return _mm512_castsi128_si512(
                _mm_sub_epi32(_mm_cvtsi32_si128(*p), _mm_cvtsi32_si128(minimum)));
        }
    }
    // A narrow lane from the window's buffer (see wavefront::Batch) in lane 0: a load alone, no
    // vector instruction. Before the permute (below) a broadcast load, which GCC keeps in a
    // register where it turns the cast of a 128-bit register into a trip through the stack;
    // elsewhere a 128-bit load, which LLVM's Intel models take for a load alone, where they
    // charge the broadcast a shuffle as well.
    static Reg enter(const std::uint32_t* p) {
        if constexpr (kPermuteShift) {
            return _mm512_set1_epi32(static_cast<int>(*p));
        } else {
            return _mm512_castsi128_si512(_mm_cvtsi32_si128(static_cast<int>(*p)));
        }
    }
    static Reg min(Reg x, Reg y) {
        if constexpr (sizeof(Lane) == 1) {
            return _mm512_min_epu8(x, y);
        } else if constexpr (sizeof(Lane) == 2) {
            return _mm512_min_epu16(x, y);
        } else {
            return _mm512_min_epi32(x, y);
        }
    }
    static Reg max(Reg x, Reg y) {
        if constexpr (sizeof(Lane) == 1) {
            return _mm512_max_epu8(x, y);
        } else if constexpr (sizeof(Lane) == 2) {
            return _mm512_max_epu16(x, y);
        } else {
            return _mm512_max_epi32(x, y);
        }
    }
    // Lane by lane, where known holds x or y, the other one: x ^ y ^ known, one three-input logic
    // instruction (truth table 0x96). The masked steps at a sweep's end take it for the new x,
    // where a select after max made GCC copy each register twice.
    static Reg other(Reg x, Reg y, Reg known) {
        return _mm512_ternarylogic_epi32(x, y, known, 0x96);
    }
    // Of two values, the one that is not the smaller, by the same instruction, which issues on
    // twice as many ports as max on Intel's cores.
    static Reg larger(Reg x, Reg y, Reg smaller) requires LogicMax { return other(x, y, smaller); }
    // Lanes 1.. of lo move down one and the top lane comes from top's lane 0. 32-bit lanes: one
    // align. 16-bit lanes of the min/max set, which AMD's cores run: one two-source permute
    // (AVX-512 BW), which measured faster than two aligns on Zen 5. 8-bit lanes of that set in
    // the file compiled for VBMI: the byte permute of two sources, likewise. The rest, the logic
    // set, which Intel's cores run (they take the 16-bit permute as three micro-ops, two of them
    // on the shuffle port the aligns use, in LLVM's Skylake-SP and Ice Lake server models), and
    // 8-bit lanes without VBMI: each 128-bit block of lo takes its new top lane(s) from the block
    // above it, which the 32-bit align brings beside it (the top block's from top).
    static Reg shiftInTop(Reg lo, Reg top) {
        if constexpr (sizeof(Lane) == 4) {
            return _mm512_alignr_epi32(top, lo, 1);
        } else if constexpr (kPermuteShift && sizeof(Lane) == 1) {
            return permuteBytesDown(lo, top);
        } else if constexpr (kPermuteShift) {
            // Index i + 1 is lo's lane i + 1, 32 top's lane 0.
            alignas(64) static constexpr std::uint16_t kDown[32] = {
                1,  2,  3,  4,  5,  6,  7,  8,  9,  10, 11, 12, 13, 14, 15, 16,
                17, 18, 19, 20, 21, 22, 23, 24, 25, 26, 27, 28, 29, 30, 31, 32};
            return _mm512_permutex2var_epi16(lo, _mm512_load_si512(kDown), top);
        } else {
            const Reg above = _mm512_alignr_epi32(top, lo, 4);
            return _mm512_alignr_epi8(above, lo, sizeof(Lane));
        }
    }
    // Index i + 1 is lo's byte i + 1, 64 top's byte 0. (A template as well, so that the file
    // without VBMI does not so much as instantiate it.)
    template <class R = Reg>
    static R permuteBytesDown(R lo, R top) {
        alignas(64) static constexpr std::uint8_t kDown[64] = {
            1,  2,  3,  4,  5,  6,  7,  8,  9,  10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20, 21, 22,
            23, 24, 25, 26, 27, 28, 29, 30, 31, 32, 33, 34, 35, 36, 37, 38, 39, 40, 41, 42, 43, 44,
            45, 46, 47, 48, 49, 50, 51, 52, 53, 54, 55, 56, 57, 58, 59, 60, 61, 62, 63, 64};
        return _mm512_permutex2var_epi8(lo, _mm512_load_si512(kDown), top);
    }
    // Lane 0 as the element it stands for, to *p: the narrow lanes' distance added to the minimum
    // in the vector unit, which keeps the scalar ports free for the loop.
    static void leave(std::int32_t* p, Reg v, std::int32_t minimum) {
        if constexpr (sizeof(Lane) == 4) {
            static_cast<void>(minimum);
            *p = _mm_cvtsi128_si32(_mm512_castsi512_si128(v));
        } else {
            const __m128i low = _mm_and_si128(_mm512_castsi512_si128(v),
                                              _mm_cvtsi32_si128(std::numeric_limits<Lane>::max()));
            *p = _mm_cvtsi128_si32(_mm_add_epi32(low, _mm_cvtsi32_si128(minimum)));
        }
    }
    // Lane 0 to the window's buffer, with the lanes above it in the word: a store alone.
    static void leave(std::uint32_t* p, Reg v) {
        *p = static_cast<std::uint32_t>(_mm_cvtsi128_si32(_mm512_castsi512_si128(v)));
    }
    // The 32-bit lanes' pair numbers and their compare (see wavefront::takingPart).
    static Reg laneTimes(std::int32_t step, std::int32_t offset) {
        const Reg index = _mm512_set_epi32(15, 14, 13, 12, 11, 10, 9, 8, 7, 6, 5, 4, 3, 2, 1, 0);
        return _mm512_add_epi32(_mm512_mullo_epi32(index, _mm512_set1_epi32(step)),
                                _mm512_set1_epi32(offset));
    }
    static Mask lessThan(Reg x, Reg y) { return _mm512_cmplt_epi32_mask(x, y); }
    // The narrow lanes' first count lanes.
    static Mask firstLanes(int count) {
        return static_cast<Mask>(count >= lanes ? ~std::uint64_t{0}
                                                : (std::uint64_t{1} << count) - 1);
    }
    static Reg select(Mask mask, Reg ifTrue, Reg ifFalse) {
        if constexpr (sizeof(Lane) == 1) {
            return _mm512_mask_blend_epi8(mask, ifFalse, ifTrue);
        } else if constexpr (sizeof(Lane) == 2) {
            return _mm512_mask_blend_epi16(mask, ifFalse, ifTrue);
        } else {
            return _mm512_mask_blend_epi32(mask, ifFalse, ifTrue);
        }
    }
    static void store(Lane* p, Reg v) { _mm512_storeu_si512(p, v); }
};

}  // namespace
