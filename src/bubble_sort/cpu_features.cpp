#include "cpu_features.h"

#if defined(__x86_64__) || defined(_M_X64)
#define SORTDEMO_X86_64 1
#if defined(_MSC_VER)
#include <immintrin.h>
#include <intrin.h>
#else
#include <cpuid.h>
#endif
#endif

#include <cstdint>

namespace {

#ifdef SORTDEMO_X86_64

struct CpuidResult {
    std::uint32_t eax, ebx, ecx, edx;
};

// The compiler-specific part: the cpuid and xgetbv instructions.
CpuidResult cpuid(std::uint32_t leaf, std::uint32_t subleaf) {
#if defined(_MSC_VER)
    int r[4];
    __cpuidex(r, static_cast<int>(leaf), static_cast<int>(subleaf));
    return {static_cast<std::uint32_t>(r[0]), static_cast<std::uint32_t>(r[1]),
            static_cast<std::uint32_t>(r[2]), static_cast<std::uint32_t>(r[3])};
#else
    CpuidResult r{};
    __cpuid_count(leaf, subleaf, r.eax, r.ebx, r.ecx, r.edx);
    return r;
#endif
}

std::uint64_t extendedControlRegister0() {
#if defined(_MSC_VER)
    return _xgetbv(0);
#else
    std::uint32_t low = 0, high = 0;
    __asm__("xgetbv" : "=a"(low), "=d"(high) : "c"(0));
    return (std::uint64_t{high} << 32) | low;
#endif
}

CpuFeatures detect() {
    CpuFeatures features;
    if (cpuid(0, 0).eax < 7) {
        return features;
    }
    const CpuidResult basic = cpuid(1, 0);
    const bool osSavesState = (basic.ecx >> 27) & 1;  // OSXSAVE: xgetbv is usable
    const bool avx = (basic.ecx >> 28) & 1;
    if (!osSavesState || !avx) {
        return features;
    }
    // The operating system must save the vector registers across context switches: SSE and AVX
    // state for AVX2, and the opmask and upper ZMM state as well for AVX-512.
    const std::uint64_t enabled = extendedControlRegister0();
    const bool ymmState = (enabled & 0x6) == 0x6;
    const bool zmmState = (enabled & 0xe6) == 0xe6;
    const CpuidResult extended = cpuid(7, 0);
    features.avx2 = ymmState && ((extended.ebx >> 5) & 1);
    features.avx512 = zmmState && ((extended.ebx >> 16) & 1);
    return features;
}

#else

CpuFeatures detect() {
    return {};
}

#endif

}  // namespace

const CpuFeatures& cpuFeatures() {
    static const CpuFeatures features = detect();
    return features;
}
