#include "bubble_sort.h"

#include <algorithm>
#include <utility>

#include "kernels.h"

void bubbleSortReference(std::vector<std::int32_t>& values) {
    const auto n = static_cast<std::int32_t>(values.size());
    for (std::int32_t i = 0; i < n - 1; ++i) {
        for (std::int32_t j = 0; j < n - i - 1; ++j) {
            if (values[j] > values[j + 1]) {
                std::swap(values[j], values[j + 1]);
            }
        }
    }
}

std::vector<KernelInfo> bubbleSortKernels() {
    std::vector<KernelInfo> kernels = {{"scalar", bubbleSortScalar, true}};
#if defined(SORTDEMO_X86_64_KERNELS)
    const CpuFeatures& cpu = cpuFeatures();
    kernels.push_back({"sse41/32", bubbleSortSse41, cpu.sse41, 32});
    kernels.push_back({"sse41/16", bubbleSortSse41U16, cpu.sse41, 16});
    kernels.push_back({"sse41/8", bubbleSortSse41U8, cpu.sse41, 8});
    kernels.push_back({"avx2/32", bubbleSortAvx2, cpu.avx2, 32});
    kernels.push_back({"avx2/16", bubbleSortAvx2U16, cpu.avx2, 16});
    kernels.push_back({"avx2/8", bubbleSortAvx2U8, cpu.avx2, 8});
    kernels.push_back({"avx512/32", bubbleSortAvx512, cpu.avx512, 32});
    kernels.push_back({"avx512/16", bubbleSortAvx512U16, cpu.avx512, 16});
    kernels.push_back({"avx512/8", bubbleSortAvx512U8, cpu.avx512, 8});
    kernels.push_back({"avx512tl/32", bubbleSortAvx512Logic, cpu.avx512, 32});
    kernels.push_back({"avx512tl/16", bubbleSortAvx512LogicU16, cpu.avx512, 16});
    kernels.push_back({"avx512tl/8", bubbleSortAvx512LogicU8, cpu.avx512, 8});
    kernels.push_back({"avx512vbmi/8", bubbleSortAvx512VbmiU8, cpu.avx512Vbmi, 8});
#elif defined(SORTDEMO_NEON_KERNEL)
    kernels.push_back({"neon/32", bubbleSortNeon, true, 32});
    kernels.push_back({"neon/16", bubbleSortNeonU16, true, 16});
    kernels.push_back({"neon/8", bubbleSortNeonU8, true, 8});
#endif
    return kernels;
}

int laneBitsFor(std::int32_t minimum, std::int32_t maximum) {
    // Unsigned, so that the full 32-bit range does not overflow.
    const std::uint32_t range =
        static_cast<std::uint32_t>(maximum) - static_cast<std::uint32_t>(minimum);
    return range <= 0xff ? 8 : range <= 0xffff ? 16 : 32;
}

namespace {

#if defined(SORTDEMO_X86_64_KERNELS) || defined(SORTDEMO_NEON_KERNEL)
// One instruction set's kernel for lanes of laneBits.
BubbleSortKernel inLanes(int laneBits, BubbleSortKernel lanes32, BubbleSortKernel lanes16,
                         BubbleSortKernel lanes8) {
    return laneBits == 8 ? lanes8 : laneBits == 16 ? lanes16 : lanes32;
}
#endif

// The widest vector kernel in lanes of laneBits that the processor runs, or none.
BubbleSortKernel vectorKernel(const CpuFeatures& features, std::int32_t n, int laneBits) {
    static_cast<void>(features);
    static_cast<void>(n);
#if defined(SORTDEMO_X86_64_KERNELS)
    if (features.avx512 && n >= avx512Cutoff(laneBits, features.avx512HalfWidth)) {
        if (features.avx512LogicMax) {
            return inLanes(laneBits, bubbleSortAvx512Logic, bubbleSortAvx512LogicU16,
                           bubbleSortAvx512LogicU8);
        }
        // The byte permute measured faster than two aligns on Zen 5; on the half-width Zen 4 it
        // was not measured, and no table of its cost there was found to go by.
        const bool vbmi = features.avx512Vbmi && !features.avx512HalfWidth;
        return inLanes(laneBits, bubbleSortAvx512, bubbleSortAvx512U16,
                       vbmi ? bubbleSortAvx512VbmiU8 : bubbleSortAvx512U8);
    }
    if (features.avx2) {
        return inLanes(laneBits, bubbleSortAvx2, bubbleSortAvx2U16, bubbleSortAvx2U8);
    }
    if (features.sse41) {
        return inLanes(laneBits, bubbleSortSse41, bubbleSortSse41U16, bubbleSortSse41U8);
    }
    return nullptr;
#elif defined(SORTDEMO_NEON_KERNEL)
    return inLanes(laneBits, bubbleSortNeon, bubbleSortNeonU16, bubbleSortNeonU8);
#else
    static_cast<void>(laneBits);
    return nullptr;
#endif
}

}  // namespace

BubbleSortKernel chooseBubbleSortKernel(const CpuFeatures& features, std::int32_t n, int laneBits) {
    if (n < kVectorCutoff) {
        return bubbleSortScalar;
    }
    const BubbleSortKernel kernel = vectorKernel(features, n, laneBits);
    return kernel != nullptr ? kernel : bubbleSortScalar;
}

BubbleSortKernel chooseBubbleSortKernel(std::int32_t n, int laneBits) {
    return chooseBubbleSortKernel(cpuFeatures(), n, laneBits);
}

void bubbleSort(std::vector<std::int32_t>& values, SortProgress* progress) {
#ifdef SORTDEMO_REFERENCE_BUBBLE_SORT
    static_cast<void>(progress);
    bubbleSortReference(values);
#else
    const auto n = static_cast<std::int32_t>(values.size());
    // One look at the values, so that a narrow range runs in narrow lanes.
    int laneBits = 32;
    if (n >= 2) {
        const auto [minimum, maximum] = std::minmax_element(values.begin(), values.end());
        laneBits = laneBitsFor(*minimum, *maximum);
    }
    chooseBubbleSortKernel(n, laneBits)(values.data(), n, progress);
#endif
}
