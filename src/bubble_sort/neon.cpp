// 64-bit ARM, where NEON is always there: no run-time check and no special compiler flags.
#include "kernels.h"

#ifdef SORTDEMO_NEON_KERNEL

#include <arm_neon.h>

#include "wavefront.h"

namespace {

struct NeonOps {
    using Reg = int32x4_t;
    static constexpr int lanes = 4;

    static Reg broadcast(std::int32_t v) { return vdupq_n_s32(v); }
    static Reg loadBroadcast(const std::int32_t* p) { return vld1q_dup_s32(p); }
    static Reg min(Reg x, Reg y) { return vminq_s32(x, y); }
    static Reg max(Reg x, Reg y) { return vmaxq_s32(x, y); }
    // Lanes 1..3 of lo move down one; the top lane comes from lane 0 of top.
    static Reg shiftInTop(Reg lo, Reg top) { return vextq_s32(lo, top, 1); }
    static std::int32_t firstLane(Reg v) { return vgetq_lane_s32(v, 0); }
    static Reg laneTimes(std::int32_t step, std::int32_t offset) {
        static constexpr std::int32_t kIndex[lanes] = {0, 1, 2, 3};
        return vmlaq_n_s32(vdupq_n_s32(offset), vld1q_s32(kIndex), step);
    }
    static uint32x4_t lessThan(Reg x, Reg y) { return vcltq_s32(x, y); }
    static Reg select(uint32x4_t mask, Reg ifTrue, Reg ifFalse) {
        return vbslq_s32(mask, ifTrue, ifFalse);
    }
    static void store(std::int32_t* p, Reg v) { vst1q_s32(p, v); }
};

}  // namespace

// The window takes two of the 32 registers for each of its R registers of passes; 12 leave room
// for a step's temporaries, so nothing is spilled to the stack (checked in the object code).
#ifndef SORTDEMO_NEON_REGISTERS
#define SORTDEMO_NEON_REGISTERS 12
#endif

void bubbleSortNeon(std::int32_t* a, std::int32_t n, SortProgress* progress) {
    wavefront::sort<NeonOps, SORTDEMO_NEON_REGISTERS>(a, n, progress);
}

#endif
