#include "bubble_sort.h"

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
    kernels.push_back({"sse41", bubbleSortSse41, cpuFeatures().sse41});
    kernels.push_back({"avx2", bubbleSortAvx2, cpuFeatures().avx2});
    kernels.push_back({"avx512", bubbleSortAvx512, cpuFeatures().avx512});
#elif defined(SORTDEMO_NEON_KERNEL)
    kernels.push_back({"neon", bubbleSortNeon, true});
#endif
    return kernels;
}

BubbleSortKernel chooseBubbleSortKernel(const CpuFeatures& features, std::int32_t n) {
    static_cast<void>(features);
    if (n < kVectorCutoff) {
        return bubbleSortScalar;
    }
#if defined(SORTDEMO_X86_64_KERNELS)
    if (features.avx512 && (n >= kAvx512Cutoff || !features.avx2)) {
        return bubbleSortAvx512;
    }
    if (features.avx2) {
        return bubbleSortAvx2;
    }
    return features.sse41 ? bubbleSortSse41 : bubbleSortScalar;
#elif defined(SORTDEMO_NEON_KERNEL)
    return bubbleSortNeon;
#else
    return bubbleSortScalar;
#endif
}

BubbleSortKernel chooseBubbleSortKernel(std::int32_t n) {
    return chooseBubbleSortKernel(cpuFeatures(), n);
}

void bubbleSort(std::vector<std::int32_t>& values, SortProgress* progress) {
#ifdef SORTDEMO_REFERENCE_BUBBLE_SORT
    static_cast<void>(progress);
    bubbleSortReference(values);
#else
    const auto n = static_cast<std::int32_t>(values.size());
    chooseBubbleSortKernel(n)(values.data(), n, progress);
#endif
}
