#include "progress_line.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <sstream>
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
        ShareCase{1, 1, 1.0, 0, "sorting 1 numbers: 100%, about 0 s left"},
        ShareCase{1000, 999, 0.002, 1e300, "sorting 1000 numbers: 0%, about 16666667 min left"}));

// One sort of 4 numbers (6 compare-exchanges) on a clock the test sets: at each time, the
// unsorted prefix the sort reports and the line that draws, or nothing. The first second is
// quiet, then the line is redrawn at most four times a second; the estimate rounds up to whole
// seconds below 100 s and to whole minutes from there.
struct Report {
    int milliseconds;
    std::int32_t unsortedLength;
    std::string shown;  // after "sorting 4 numbers: "; empty when nothing is drawn
};

TEST(ProgressLine, DrawsOverTimeAndErasesTheLast) {
    const Report timeline[] = {{999, 3, ""},
                               {1000, 4, "0%"},
                               {1249, 3, ""},
                               {1250, 3, "50%, about 2 s left"},
                               {99000, 3, "50%, about 99 s left"},
                               {100000, 3, "50%, about 2 min left"},
                               {119000, 3, "50%, about 2 min left"},
                               {120000, 3, "50%, about 2 min left"},
                               {121000, 3, "50%, about 3 min left"},
                               {121249, 2, ""},
                               {121250, 2, "83%, about 25 s left"},
                               {200000, 1, "100%, about 0 s left"}};
    // Below text typed without Enter, the first drawing starts a line of its own.
    for (const bool belowText : {false, true}) {
        ProgressLine::Clock::time_point now{std::chrono::hours(1)};
        const ProgressLine::Clock::time_point start = now;
        std::ostringstream terminal;
        ProgressLine line(terminal, 4, belowText, [&now] { return now; });
        line.erase();
        EXPECT_EQ(terminal.str(), "") << "erased a line that was never drawn";
        // No escape sequences: blanks cover what a longer line drawn before left.
        std::size_t drawn = 0;
        for (const Report& report : timeline) {
            now = start + std::chrono::milliseconds(report.milliseconds);
            terminal.str("");
            line.unsortedPrefix(report.unsortedLength);
            std::string expected;
            if (!report.shown.empty()) {
                const std::string text = "sorting 4 numbers: " + report.shown;
                expected = (belowText && drawn == 0 ? "\n\r" : "\r") + text;
                expected.append(drawn > text.size() ? drawn - text.size() : 0, ' ');
                drawn = text.size();
            }
            EXPECT_EQ(terminal.str(), expected) << "at " << report.milliseconds << " ms";
        }
        terminal.str("");
        line.erase();
        EXPECT_EQ(terminal.str(), '\r' + std::string(drawn, ' ') + '\r');
    }
}

}  // namespace
