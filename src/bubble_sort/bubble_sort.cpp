#include "bubble_sort.h"

#include <utility>

#include "cpu_features.h"
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
#ifdef SORTDEMO_HAVE_VECTOR_KERNELS
    kernels.push_back({"avx2", bubbleSortAvx2, cpuFeatures().avx2});
    kernels.push_back({"avx512", bubbleSortAvx512, cpuFeatures().avx512});
#endif
    return kernels;
}

// Below this many elements the vector kernels run only their narrow, latency-bound sweeps and the
// scalar kernel is as fast or faster (see scripts/bench.sh, n = 32 to 64).
constexpr std::int32_t kVectorCutoff = 48;

BubbleSortKernel chooseBubbleSortKernel(std::int32_t n) {
#ifdef SORTDEMO_HAVE_VECTOR_KERNELS
    if (n >= kVectorCutoff) {
        static const BubbleSortKernel fastest = cpuFeatures().avx512 ? bubbleSortAvx512
                                                : cpuFeatures().avx2 ? bubbleSortAvx2
                                                                     : bubbleSortScalar;
        return fastest;
    }
#endif
    static_cast<void>(n);
    return bubbleSortScalar;
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
