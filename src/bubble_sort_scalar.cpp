#include "bubble_sort_kernels.h"

void bubbleSortScalar(std::int32_t* a, std::int32_t n) {
    for (std::int32_t i = 0; i < n - 1; ++i) {
        // a[j] is only ever compared with a[j + 1] and then left with the smaller value, so the
        // larger one can stay in a register for the next compare instead of going to memory.
        const std::int32_t last = n - 1 - i;
        std::int32_t carried = a[0];
        for (std::int32_t j = 0; j < last; ++j) {
            const std::int32_t next = a[j + 1];
            a[j] = next < carried ? next : carried;
            carried = next < carried ? carried : next;
        }
        a[last] = carried;
    }
}
