#pragma once

#include <cstdint>
#include <vector>

// Sorts values into ascending order in place with the plain bubble sort: n - 1 passes over a
// shrinking prefix, n(n-1)/2 compare-exchanges whatever the input, equal values kept in order.
void bubbleSort(std::vector<std::int32_t>& values);

// The textbook loops, kept as the reference that every faster form of the sort is checked and
// timed against.
void bubbleSortReference(std::vector<std::int32_t>& values);
