// 64-bit ARM, where NEON is always there: no run-time check and no special compiler flags.
#include "kernels.h"

#ifdef SORTDEMO_NEON_KERNEL

#include <arm_neon.h>

#include "wavefront.h"

namespace {

// 4 lanes of 32 bits (signed), 8 of 16 or 16 of 8 (unsigned).
template <class LaneType>
struct NeonOps {
    using Lane = LaneType;
    static constexpr int lanes = 16 / sizeof(Lane);
    using Reg = std::conditional_t<sizeof(Lane) == 1, uint8x16_t,
                                   std::conditional_t<sizeof(Lane) == 2, uint16x8_t, int32x4_t>>;
    using Mask = std::conditional_t<sizeof(Lane) == 1, uint8x16_t,
                                    std::conditional_t<sizeof(Lane) == 2, uint16x8_t, uint32x4_t>>;

    static Reg broadcast(Lane v) {
        if constexpr (sizeof(Lane) == 1) {
            return vdupq_n_u8(v);
        } else if constexpr (sizeof(Lane) == 2) {
            return vdupq_n_u16(v);
        } else {
            return vdupq_n_s32(v);
        }
    }
    // The register *p is shifted in from: only its lane 0 is, which narrow lanes take from the
    // low bits of the 32-bit distance from the minimum.
    static Reg enter(const std::int32_t* p, std::int32_t minimum) {
        const int32x4_t value = vld1q_dup_s32(p);
        if constexpr (sizeof(Lane) == 1) {
            return vreinterpretq_u8_s32(vsubq_s32(value, vdupq_n_s32(minimum)));
        } else if constexpr (sizeof(Lane) == 2) {
            return vreinterpretq_u16_s32(vsubq_s32(value, vdupq_n_s32(minimum)));
        } else {
            static_cast<void>(minimum);
            return value;
        }
    }
    // A narrow lane from the window's buffer (see wavefront::Batch) in lane 0, with the next
    // words above it: a load alone, no vector instruction.
    static Reg enter(const std::uint32_t* p) {
        if constexpr (sizeof(Lane) == 1) {
            return vreinterpretq_u8_u32(vld1q_u32(p));
        } else {
            return vreinterpretq_u16_u32(vld1q_u32(p));
        }
    }
    static Reg min(Reg x, Reg y) {
        if constexpr (sizeof(Lane) == 1) {
            return vminq_u8(x, y);
        } else if constexpr (sizeof(Lane) == 2) {
            return vminq_u16(x, y);
        } else {
            return vminq_s32(x, y);
        }
    }
    static Reg max(Reg x, Reg y) {
        if constexpr (sizeof(Lane) == 1) {
            return vmaxq_u8(x, y);
        } else if constexpr (sizeof(Lane) == 2) {
            return vmaxq_u16(x, y);
        } else {
            return vmaxq_s32(x, y);
        }
    }
    // Lanes 1.. of lo move down one; the top lane comes from lane 0 of top.
    static Reg shiftInTop(Reg lo, Reg top) {
        if constexpr (sizeof(Lane) == 1) {
            return vextq_u8(lo, top, 1);
        } else if constexpr (sizeof(Lane) == 2) {
            return vextq_u16(lo, top, 1);
        } else {
            return vextq_s32(lo, top, 1);
        }
    }
    // Lane 0 as the element it stands for, to *p.
    static void leave(std::int32_t* p, Reg v, std::int32_t minimum) {
        if constexpr (sizeof(Lane) == 1) {
            *p = wavefront::fromLane<Lane>(vgetq_lane_u8(v, 0), minimum);
        } else if constexpr (sizeof(Lane) == 2) {
            *p = wavefront::fromLane<Lane>(vgetq_lane_u16(v, 0), minimum);
        } else {
            static_cast<void>(minimum);
            *p = vgetq_lane_s32(v, 0);
        }
    }
    // Lane 0 to the window's buffer, with the lanes above it in the word: a store alone.
    static void leave(std::uint32_t* p, Reg v) {
        if constexpr (sizeof(Lane) == 1) {
            vst1q_lane_u32(p, vreinterpretq_u32_u8(v), 0);
        } else {
            vst1q_lane_u32(p, vreinterpretq_u32_u16(v), 0);
        }
    }
    // The 32-bit lanes' pair numbers and their compare (see wavefront::takingPart).
    static Reg laneTimes(std::int32_t step, std::int32_t offset) {
        static constexpr std::int32_t kIndex[4] = {0, 1, 2, 3};
        return vmlaq_n_s32(vdupq_n_s32(offset), vld1q_s32(kIndex), step);
    }
    static Mask lessThan(Reg x, Reg y) { return vcltq_s32(x, y); }
    // The narrow lanes' first count lanes.
    static Mask firstLanes(int count) {
        static constexpr std::uint8_t kIndex[16] = {0, 1, 2,  3,  4,  5,  6,  7,
                                                    8, 9, 10, 11, 12, 13, 14, 15};
        const uint8x16_t index = vld1q_u8(kIndex);
        if constexpr (sizeof(Lane) == 1) {
            return vcltq_u8(index, vdupq_n_u8(static_cast<std::uint8_t>(count)));
        } else {
            return vcltq_u16(vmovl_u8(vget_low_u8(index)),
                             vdupq_n_u16(static_cast<std::uint16_t>(count)));
        }
    }
    static Reg select(Mask mask, Reg ifTrue, Reg ifFalse) {
        if constexpr (sizeof(Lane) == 1) {
            return vbslq_u8(mask, ifTrue, ifFalse);
        } else if constexpr (sizeof(Lane) == 2) {
            return vbslq_u16(mask, ifTrue, ifFalse);
        } else {
            return vbslq_s32(mask, ifTrue, ifFalse);
        }
    }
    static void store(Lane* p, Reg v) {
        if constexpr (sizeof(Lane) == 1) {
            vst1q_u8(p, v);
        } else if constexpr (sizeof(Lane) == 2) {
            vst1q_u16(p, v);
        } else {
            vst1q_s32(p, v);
        }
    }
};

}  // namespace

// The window takes two of the 32 registers for each of its R registers of passes; 12 leave room
// for a step's temporaries, so nothing is spilled to the stack (checked in the object code).
#ifndef SORTDEMO_NEON_REGISTERS
#define SORTDEMO_NEON_REGISTERS 12
#endif

void bubbleSortNeon(std::int32_t* a, std::int32_t n, SortProgress* progress) {
    wavefront::sort<NeonOps<std::int32_t>, SORTDEMO_NEON_REGISTERS>(a, n, progress);
}

void bubbleSortNeonU16(std::int32_t* a, std::int32_t n, SortProgress* progress) {
    wavefront::sort<NeonOps<std::uint16_t>, SORTDEMO_NEON_REGISTERS>(a, n, progress,
                                                                     bubbleSortNeon);
}

void bubbleSortNeonU8(std::int32_t* a, std::int32_t n, SortProgress* progress) {
    wavefront::sort<NeonOps<std::uint8_t>, SORTDEMO_NEON_REGISTERS>(a, n, progress,
                                                                    bubbleSortNeonU16);
}

#endif
