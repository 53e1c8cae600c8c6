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

namespace {

bool bit(std::uint64_t value, int index) {
    return ((value >> index) & 1) != 0;
}

#ifdef SORTDEMO_X86_64

// The compiler-specific part: the cpuid and xgetbv instructions.
CpuidResult cpuid(std::uint32_t leaf, std::uint32_t subleaf) {
#if defined(_MSC_VER)
    int r[4];
    __cpuidex(r, static_cast<int>(leaf), static_cast<int>(subleaf));
    return {static_cast<std::uint32_t>(r[0]), static_cast<std::uint32_t>(r[1]),
            static_cast<std::uint32_t>(r[2]), static_cast<std::uint32_t>(r[3])};
#else
    CpuidResult r;
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

#endif

}  // namespace

CpuidValues readCpuid(const CpuidInstructions& instructions) {
    CpuidValues values;
    const CpuidResult leaf0 = instructions.cpuid(0);
    values.highestLeaf = leaf0.eax;
    // "Genu", "ineI", "ntel" in little-endian order.
    values.intel = leaf0.ebx == 0x756e6547 && leaf0.edx == 0x49656e69 && leaf0.ecx == 0x6c65746e;
    // "Auth", "enti", "cAMD".
    values.amd = leaf0.ebx == 0x68747541 && leaf0.edx == 0x69746e65 && leaf0.ecx == 0x444d4163;
    if (values.highestLeaf >= 1) {
        const CpuidResult leaf1 = instructions.cpuid(1);
        values.leaf1Eax = leaf1.eax;
        values.leaf1Ecx = leaf1.ecx;
    }
    if (values.highestLeaf >= 7) {
        const CpuidResult leaf7 = instructions.cpuid(7);
        values.leaf7Ebx = leaf7.ebx;
        values.leaf7Ecx = leaf7.ecx;
    }
    if (bit(values.leaf1Ecx, 27)) {
        values.xcr0 = instructions.xgetbv();
    }
    return values;
}

CpuFeatures decodeCpuFeatures(const CpuidValues& values) {
    CpuFeatures features;
    // SSE state is part of the x86-64 baseline, which every 64-bit operating system saves.
    features.sse41 = bit(values.leaf1Ecx, 19);
    // AVX2 and AVX-512 need AVX, and the operating system must save the vector registers across
    // context switches: SSE and AVX state for AVX2, and the opmask and upper ZMM state as well for
    // AVX-512. Where the processor has no leaf 7 or no OSXSAVE, readCpuid left those values 0.
    const bool avx = bit(values.leaf1Ecx, 28);
    const bool ymmState = (values.xcr0 & 0x6) == 0x6;
    const bool zmmState = (values.xcr0 & 0xe6) == 0xe6;
    features.avx2 = avx && ymmState && bit(values.leaf7Ebx, 5);
    constexpr std::uint32_t kAvx512Set =
        (1u << 16) | (1u << 17) | (1u << 28) | (1u << 30) | (1u << 31);
    features.avx512 = features.avx2 && zmmState && (values.leaf7Ebx & kAvx512Set) == kAvx512Set;
    features.avx512LogicMax = features.avx512 && values.intel;
    // AMD's family 0x19 is Zen 3, which has no AVX-512, and Zen 4, which runs it in halves.
    const std::uint32_t baseFamily = (values.leaf1Eax >> 8) & 0xf;
    const std::uint32_t family =
        baseFamily == 0xf ? baseFamily + ((values.leaf1Eax >> 20) & 0xff) : baseFamily;
    features.avx512HalfWidth = features.avx512 && values.amd && family == 0x19;
    features.avx512Vbmi = features.avx512 && bit(values.leaf7Ecx, 1);
    return features;
}

const CpuFeatures& cpuFeatures() {
#ifdef SORTDEMO_X86_64
    static const CpuFeatures features = decodeCpuFeatures(readCpuid({
        [](std::uint32_t leaf) { return cpuid(leaf, 0); },
        extendedControlRegister0,
    }));
#else
    static const CpuFeatures features;
#endif
    return features;
}
