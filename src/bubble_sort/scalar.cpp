#include <utility>

#include "kernels.h"
#include "mca_markers.h"

namespace {

// a[j] is only ever compared with a[j + 1] and then left with the smaller value, so a pass can
// keep the larger one in a register as the value it carries up instead of storing it.
inline void compareExchange(std::int32_t& carried, std::int32_t& value) {
    const std::int32_t smaller = value < carried ? value : carried;
    carried = value < carried ? carried : value;
    value = smaller;
}

// One pass over a[0..last]: compare-exchanges j = 0 .. last - 1.
inline void singlePass(std::int32_t* a, std::int32_t last) {
    std::int32_t carried = a[0];
    for (std::int32_t j = 0; j < last; ++j) {
        std::int32_t value = a[j + 1];
        compareExchange(carried, value);
        a[j] = value;
    }
    a[last] = carried;
}

// K passes at once over a[0..last] (last >= K), pass k of them one element behind pass k - 1.
// A pass only needs the values the previous one has left below it, so at each step the value
// read from a[s] runs through all K carried values and comes out final at a[s - K]. All K passes
// end at the same step, because each pass's bound is one below the previous one's. With the K
// compare-exchanges of a step independent of each other's latency, this runs up to K times as
// fast as one pass at a time.
template <int K, std::size_t... k>
inline void fusedPasses(std::int32_t* a, std::int32_t last, std::index_sequence<k...>) {
    std::int32_t carried[K];
    // Pass k starts at step k with the value the passes before it have left at a[0].
    for (int s = 0; s < K; ++s) {
        std::int32_t value = a[s];
        for (int p = 0; p < s; ++p) {
            compareExchange(carried[p], value);
        }
        carried[s] = value;
    }
    for (std::int32_t s = K; s <= last; ++s) {
        SORTDEMO_MCA_MARK(32);
        std::int32_t value = a[s];
        (compareExchange(carried[k], value), ...);
        a[s - K] = value;
    }
    for (int p = 0; p < K; ++p) {
        a[last - p] = carried[p];
    }
}

}  // namespace

void bubbleSortScalar(std::int32_t* a, std::int32_t n, SortProgress* progress) {
    constexpr int kFused = 4;
    std::int32_t last = n - 1;  // pass i runs over a[0..n-1-i]
    for (; last >= kFused; last -= kFused) {
        fusedPasses<kFused>(a, last, std::make_index_sequence<kFused>{});
        if (progress != nullptr) {
            progress->unsortedPrefix(last + 1 - kFused);
        }
    }
    for (; last >= 1; --last) {
        singlePass(a, last);
        if (progress != nullptr) {
            progress->unsortedPrefix(last);
        }
    }
}
