#pragma once

#include <cstdint>

// What the processor and the operating system together support, asked once at run time so one
// binary runs on any x86-64 machine. On other architectures every answer is false.
struct CpuFeatures {
    bool avx2 = false;
    bool avx512 = false;  // AVX-512 Foundation
};

// The answers of x86-64's cpuid and xgetbv instructions that decide the features.
struct CpuidValues {
    std::uint32_t highestLeaf = 0;  // cpuid leaf 0, eax
    std::uint32_t leaf1Ecx = 0;     // cpuid leaf 1, ecx: OSXSAVE (bit 27), AVX (bit 28)
    std::uint32_t leaf7Ebx = 0;     // cpuid leaf 7 subleaf 0, ebx: AVX2 (bit 5), AVX-512F (16)
    std::uint64_t xcr0 = 0;         // xgetbv(0), the register state the operating system saves
};

// The features those answers give, whichever machine they were recorded on.
CpuFeatures decodeCpuFeatures(const CpuidValues& values);

// This machine's.
const CpuFeatures& cpuFeatures();
