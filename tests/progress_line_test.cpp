#include "progress_line.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <sstream>
#include <string>
#include <vector>

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

// The line over time, on a clock the test sets: each report of the sort at a chosen time draws
// the line given, or nothing.
struct Report {
    int milliseconds;
    std::int32_t unsortedLength;
    std::string shown;  // empty when the report draws nothing
};

struct TimedCase {
    const char* name;
    std::int32_t n;
    std::vector<Report> reports;
};

void PrintTo(const TimedCase& c, std::ostream* os) {
    *os << c.name;
}

class ProgressOverTime : public ::testing::TestWithParam<TimedCase> {};

TEST_P(ProgressOverTime, DrawsTheseLinesAndErasesTheLast) {
    using Clock = ProgressLine::Clock;
    Clock::time_point now{std::chrono::hours(1)};
    std::ostringstream terminal;
    ProgressLine line(terminal, GetParam().n, [&now] { return now; });
    const Clock::time_point start = now;
    bool drawn = false;
    for (const Report& report : GetParam().reports) {
        now = start + std::chrono::milliseconds(report.milliseconds);
        terminal.str("");
        line.unsortedPrefix(report.unsortedLength);
        EXPECT_EQ(terminal.str(), report.shown.empty() ? "" : "\r" + report.shown + "\x1b[K")
            << "at " << report.milliseconds << " ms";
        drawn = drawn || !report.shown.empty();
    }
    terminal.str("");
    line.erase();
    EXPECT_EQ(terminal.str(), drawn ? "\r\x1b[K" : "");
}

// n = 4 has 6 compare-exchanges, 3 of them left with a prefix of 3: half done, as long to go as
// has gone.
const std::string kHalf = "sorting 4 numbers: 50%, about ";

INSTANTIATE_TEST_SUITE_P(
    Timed, ProgressOverTime,
    ::testing::Values(
        TimedCase{"quietForTheFirstSecond", 1000, {{0, 1000, ""}, {500, 600, ""}, {999, 2, ""}}},
        TimedCase{"redrawnFourTimesASecond",
                  4,
                  {{1000, 3, kHalf + "1 s left"},
                   {1100, 3, ""},
                   {1249, 3, ""},
                   {1250, 3, kHalf + "2 s left"},
                   {1499, 3, ""},
                   {1600, 3, kHalf + "2 s left"}}},
        TimedCase{"shareRisesEstimateFalls",
                  1000,
                  {{1000, 900, "sorting 1000 numbers: 19%, about 5 s left"},
                   {2000, 700, "sorting 1000 numbers: 51%, about 2 s left"},
                   {3000, 300, "sorting 1000 numbers: 91%, about 1 s left"},
                   {4000, 1, "sorting 1000 numbers: 100%, about 0 s left"}}},
        TimedCase{"minutesRoundUp",
                  4,
                  {{99000, 3, kHalf + "99 s left"},
                   {100000, 3, kHalf + "2 min left"},
                   {119000, 3, kHalf + "2 min left"},
                   {120000, 3, kHalf + "2 min left"},
                   {121000, 3, kHalf + "3 min left"}}}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
