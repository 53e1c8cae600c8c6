#include "bubble_sort.h"

#include <utility>

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

void bubbleSort(std::vector<std::int32_t>& values) {
    bubbleSortReference(values);
}
