#pragma once

#include <cstdint>
#include <vector>

#include "progress.h"

// Sorts values into ascending order in place with the plain bubble sort: n - 1 passes over a
// shrinking prefix, n(n-1)/2 compare-exchanges whatever the input, equal values kept in order.
// A progress, when given, hears between groups of passes how much is left.
void bubbleSort(std::vector<std::int32_t>& values, SortProgress* progress = nullptr);

// The textbook loops, kept as the reference that every faster form of the sort is checked and
// timed against.
void bubbleSortReference(std::vector<std::int32_t>& values);
