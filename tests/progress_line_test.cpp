#include "progress_line.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

namespace {

// The share done counts compare-exchanges, n(n-1)/2 in all: the first passes are the long ones.
struct ShareCase {
    std::int32_t n;
    std::int32_t unsortedLength;
    double share;
    double secondsLeft;
    std::string text;
};

class ProgressTable : public ::testing::TestWithParam<ShareCase> {};

TEST_P(ProgressTable, ComputesTheShareAndWritesTheLine) {
    const ShareCase& c = GetParam();
    const double share = sortedShare(c.n, c.unsortedLength);
    EXPECT_NEAR(share, c.share, 1e-9);
    EXPECT_EQ(progressText(c.n, share, c.secondsLeft), c.text);
}

INSTANTIATE_TEST_SUITE_P(
    Shares, ProgressTable,
    ::testing::Values(
        ShareCase{1000, 1000, 0.0, 0, "sorting 1000 numbers: 0%"},
        ShareCase{1000, 500, 0.75025025025, 6.2, "sorting 1000 numbers: 75%, about 7 s left"},
        ShareCase{1000, 1, 1.0, 0, "sorting 1000 numbers: 100%, about 0 s left"},
        ShareCase{1000, 2, 1.0 - 1.0 / 499500, 0.01, "sorting 1000 numbers: 99%, about 1 s left"},
        ShareCase{2147483647, 2147483643, 0.0000000037, 1000,
                  "sorting 2147483647 numbers: 0%, about 17 min left"},
        ShareCase{2147483647, 1000000, 0.99999978315, 99.5,
                  "sorting 2147483647 numbers: 99%, about 2 min left"},
        ShareCase{1, 1, 1.0, 0, "sorting 1 numbers: 100%, about 0 s left"}));

}  // namespace
