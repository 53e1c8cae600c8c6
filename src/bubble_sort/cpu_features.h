#pragma once

#include <cstdint>
#include <functional>

// What the processor and the operating system together support, asked once at run time so one
// binary runs on any x86-64 machine. On other architectures every answer is false.
struct CpuFeatures {
    bool avx2 = false;
    // AVX-512 F, CD, BW, DQ and VL with AVX2, as x86-64's level v4 has them: all that a compiler
    // told to target AVX-512 (GCC's and Clang's flags in src/CMakeLists.txt, MSVC's /arch:AVX512)
    // may use. BW has the min, max and masks of 16-bit and 8-bit lanes.
    bool avx512 = false;
    bool sse41 = false;  // SSE4.1: the 128-bit signed min and max
    // With AVX-512, whether the larger of two values is better taken from the smaller with a
    // three-input logic instruction than with max: on Intel's cores, whose 512-bit min and max
    // issue on one port and logic on two. AMD's issue both on the same pipes, where the logic
    // instruction's third operand makes a compare-exchange slower (measured on Zen 4).
    bool avx512LogicMax = false;
    // With AVX-512, whether the core runs a 512-bit instruction as two 256-bit halves (AMD's Zen
    // 4): there the AVX-512 kernels do no more a cycle than AVX2's and pay off only on longer
    // inputs.
    bool avx512HalfWidth = false;
    // With AVX-512, VBMI: the byte permute of two registers.
    bool avx512Vbmi = false;
};

// The answers of x86-64's cpuid and xgetbv instructions that decide the features.
struct CpuidValues {
    std::uint32_t highestLeaf = 0;  // cpuid leaf 0, eax
    std::uint32_t leaf1Ecx = 0;     // cpuid leaf 1, ecx: SSE4.1 (bit 19), OSXSAVE (27), AVX (28)
    // cpuid leaf 7 subleaf 0, ebx: AVX2 (bit 5), AVX-512 F (16), DQ (17), CD (28), BW (30), VL (31)
    std::uint32_t leaf7Ebx = 0;
    std::uint64_t xcr0 = 0;      // xgetbv(0), the register state the operating system saves
    bool intel = false;          // cpuid leaf 0's vendor (ebx, edx, ecx) is "GenuineIntel"
    bool amd = false;            // or "AuthenticAMD"
    std::uint32_t leaf1Eax = 0;  // cpuid leaf 1, eax: the family (bits 8-11, and 20-27 after 15)
    std::uint32_t leaf7Ecx = 0;  // cpuid leaf 7 subleaf 0, ecx: AVX-512 VBMI (bit 1)
};

struct CpuidResult {
    std::uint32_t eax = 0, ebx = 0, ecx = 0, edx = 0;
};

// The instructions that answer, passed in so that a test can answer for a processor it is not
// running on: cpuid(leaf) returns what cpuid gives for that leaf (subleaf 0); xgetbv() returns
// xcr0.
struct CpuidInstructions {
    std::function<CpuidResult(std::uint32_t leaf)> cpuid;
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
