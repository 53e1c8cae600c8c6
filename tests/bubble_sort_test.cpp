#include "bubble_sort/bubble_sort.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <limits>
#include <random>
#include <vector>

namespace {

using Values = std::vector<std::int32_t>;
constexpr std::int32_t kMin = std::numeric_limits<std::int32_t>::min();
constexpr std::int32_t kMax = std::numeric_limits<std::int32_t>::max();

struct SortCase {
    const char* name;
    Values input;
    Values expected;
};

void PrintTo(const SortCase& c, std::ostream* os) {
    *os << c.name;
}

class BubbleSortTable : public ::testing::TestWithParam<SortCase> {};

TEST_P(BubbleSortTable, SortsAscending) {
    Values values = GetParam().input;
    bubbleSort(values);
    EXPECT_EQ(values, GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, BubbleSortTable,
    ::testing::Values(SortCase{"empty", {}, {}}, SortCase{"single", {7}, {7}},
                      SortCase{"twoDescending", {2, 1}, {1, 2}},
                      SortCase{"ascending", {1, 2, 3, 4, 5}, {1, 2, 3, 4, 5}},
                      SortCase{"descending", {5, 4, 3, 2, 1}, {1, 2, 3, 4, 5}},
                      SortCase{"duplicates", {3, 1, 3, 1, 2, 3}, {1, 1, 2, 3, 3, 3}},
                      SortCase{"negatives", {0, -1, 5, -7, -1}, {-7, -1, -1, 0, 5}},
                      SortCase{"extremes",
                               {kMax, 0, kMin, -1, kMax, kMin, 1},
                               {kMin, kMin, -1, 0, 1, kMax, kMax}},
                      SortCase{"extremesAdjacent", {kMax, kMin}, {kMin, kMax}}),
    [](const auto& info) { return std::string(info.param.name); });

// Random sequences of every length up to a few hundred, over a narrow range (many duplicates)
// and over the whole 32-bit range (where a subtraction-based compare would overflow).
TEST(BubbleSortRandom, MatchesStandardSort) {
    std::mt19937 random(12345);
    std::uniform_int_distribution<std::int32_t> narrow(-5, 5);
    std::uniform_int_distribution<std::int32_t> wide(kMin, kMax);
    for (int n = 0; n <= 300; ++n) {
        for (auto* distribution : {&narrow, &wide}) {
            Values values(n);
            std::generate(values.begin(), values.end(), [&] { return (*distribution)(random); });
            Values expected = values;
            std::sort(expected.begin(), expected.end());
            bubbleSort(values);
            ASSERT_EQ(values, expected) << "n = " << n;
        }
    }
}

}  // namespace
