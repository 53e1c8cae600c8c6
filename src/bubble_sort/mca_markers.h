#pragma once

// Marks a kernel's hot loop in the assembly for llvm-mca, which estimates its cycles on a named
// processor: scripts/model.sh takes the innermost loop around the mark as the region to analyse.
// The mark runs once a step, so the compiler cannot move it out of the loop, and names the lane
// width, since one file holds a kernel's loops for every width. Only when built with
// SORTDEMO_MCA_MARKERS: it may hold code in place, so such a build is for reading, not for
// timing.
#if defined(SORTDEMO_MCA_MARKERS) && (defined(__GNUC__) || defined(__clang__))
#define SORTDEMO_MCA_MARK(kind) __asm__ volatile("# LLVM-MCA-LOOP " #kind)
#else
#define SORTDEMO_MCA_MARK(kind) static_cast<void>(0)
#endif
