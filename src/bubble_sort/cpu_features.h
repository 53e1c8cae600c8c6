#pragma once

#include <cstdint>
#include <functional>

// What the processor and the operating system together support, asked once at run time so one
// binary runs on any x86-64 machine. On other architectures every answer is false.
struct CpuFeatures {
    bool avx2 = false;
    bool avx512 = false;    // AVX-512 Foundation
    bool sse41 = false;     // SSE4.1: the 128-bit signed min and max
    bool avx512bw = false;  // AVX-512 Byte and Word: min, max and masks of 16-bit and 8-bit lanes
};

// The answers of x86-64's cpuid and xgetbv instructions that decide the features.
struct CpuidValues {
    std::uint32_t highestLeaf = 0;  // cpuid leaf 0, eax
    std::uint32_t leaf1Ecx = 0;     // cpuid leaf 1, ecx: SSE4.1 (bit 19), OSXSAVE (27), AVX (28)
    std::uint32_t leaf7Ebx =
        0;                   // cpuid leaf 7 subleaf 0, ebx: AVX2 (bit 5), AVX-512F (16), BW (30)
    std::uint64_t xcr0 = 0;  // xgetbv(0), the register state the operating system saves
};

// The instructions that answer, passed in so that a test can answer for a processor it is not
// running on: cpuid(leaf) returns the register cpuid gives for that leaf (subleaf 0) that
// CpuidValues keeps (eax for leaf 0, ecx for leaf 1, ebx for leaf 7); xgetbv() returns xcr0.
struct CpuidInstructions {
    std::function<std::uint32_t(std::uint32_t leaf)> cpuid;
    std::function<std::uint64_t()> xgetbv;
};

// Asks only what the processor says it can answer: a leaf up to the highest it has, and xgetbv
// only when the operating system has enabled it (OSXSAVE), since it faults otherwise. Whatever
// is not asked stays 0.
CpuidValues readCpuid(const CpuidInstructions& instructions);

// The features those answers give, as readCpuid reads them on whichever machine.
CpuFeatures decodeCpuFeatures(const CpuidValues& values);

// This machine's.
const CpuFeatures& cpuFeatures();
