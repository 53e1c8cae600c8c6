#include "progress_line.h"

#include <gtest/gtest.h>

#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

#include <chrono>
#include <cstdint>
#include <sstream>
#include <string>

namespace {

// The share done counts compare-exchanges, n(n-1)/2 in all: the first passes are the long ones.
// In less room than the whole line, the count goes first, then "about", then "sorting", then the
// time left; with no room for the share, nothing.
struct ShareCase {
    std::int32_t n;
    std::int32_t unsortedLength;
    double share;
    double secondsLeft;
    std::string text;
    std::size_t room = std::string::npos;
};

class ProgressTable : public ::testing::TestWithParam<ShareCase> {};

TEST_P(ProgressTable, ComputesTheShareAndWritesTheLine) {
    const ShareCase& c = GetParam();
    const double share = sortedShare(c.n, c.unsortedLength);
    EXPECT_NEAR(share, c.share, 1e-9);
    EXPECT_EQ(progressText(c.n, share, c.secondsLeft, c.room), c.text);
}

const double kThreeQuarters = 0.75025025025;

INSTANTIATE_TEST_SUITE_P(
    Shares, ProgressTable,
    ::testing::Values(
        ShareCase{1000, 1000, 0.0, 0, "sorting 1000 numbers: 0%"},
        ShareCase{1000, 500, kThreeQuarters, 6.2, "sorting 1000 numbers: 75%, about 7 s left"},
        ShareCase{1000, 1, 1.0, 0, "sorting 1000 numbers: 100%, about 0 s left"},
        ShareCase{1000, 2, 1.0 - 1.0 / 499500, 0.01, "sorting 1000 numbers: 99%, about 1 s left"},
        ShareCase{2147483647, 2147483643, 0.0000000037, 1000,
                  "sorting 2147483647 numbers: 0%, about 17 min left"},
        ShareCase{2147483647, 1000000, 0.99999978315, 99.5,
                  "sorting 2147483647 numbers: 99%, about 2 min left"},
        ShareCase{1, 1, 1.0, 0, "sorting 1 numbers: 100%, about 0 s left"},
        ShareCase{1000, 999, 0.002, 1e300, "sorting 1000 numbers: 0%, about 16666667 min left"},
        ShareCase{1000, 500, kThreeQuarters, 6.2, "sorting 1000 numbers: 75%, about 7 s left", 41},
        ShareCase{1000, 500, kThreeQuarters, 6.2, "sorting: 75%, about 7 s left", 40},
        ShareCase{1000, 500, kThreeQuarters, 6.2, "sorting: 75%, 7 s left", 27},
        ShareCase{1000, 500, kThreeQuarters, 6.2, "75%, 7 s left", 21},
        ShareCase{1000, 500, kThreeQuarters, 6.2, "75%", 12},
        ShareCase{1000, 500, kThreeQuarters, 6.2, "", 2}, ShareCase{1000, 1000, 0.0, 0, "0%", 10}));

// One sort of 1000 numbers on a clock and a terminal the test sets: at each time, the unsorted
// prefix the sort reports, the terminal then, and what is written. The first second is quiet,
// then the line is redrawn at most four times a second. The time left comes from the recent
// redraws, so that 20 s stopped (Ctrl-Z, then fg) leave it as it was. In the background nothing
// is written and what was drawn is the shell's; on a narrower terminal the line is shorter and
// short of the last column, blanks too, and erased where nothing fits.
struct Report {
    int milliseconds;
    std::int32_t unsortedLength;
    std::string written;  // empty when nothing is
    TerminalNow terminal = {};
};

TEST(ProgressLine, DrawsOverTimeAndErasesTheLast) {
    const std::string kLast = "sorting 1000 numbers: 100%, about 0 s left";
    const Report timeline[] = {{999, 1000, ""},
                               {1000, 1000, "\rsorting 1000 numbers: 0%"},
                               {1249, 990, ""},
                               {1250, 990, "\rsorting 1000 numbers: 1%, about 13 s left"},
                               {1500, 980, "\rsorting 1000 numbers: 3%, about 13 s left"},
                               {1750, 970, "\rsorting 1000 numbers: 5%, about 12 s left"},
                               {21750, 960, "\rsorting 1000 numbers: 7%, about 12 s left"},
                               {22000, 950, "", {false, 80}},
                               {22250, 940, "\rsorting: 11%, about 12 s left", {true, 40}},
                               {22500, 500, "\rsorting: 75%, about 4 s left ", {true, 30}},
                               {22750, 400, "\r84%, 3 s left      ", {true, 20}},
                               {23000, 300, "\r  \r", {true, 3}},
                               {23250, 1, "\r" + kLast}};
    // Below text typed without Enter, the first drawing starts a line of its own.
    for (const bool belowText : {false, true}) {
        ProgressLine::Clock::time_point now{std::chrono::hours(1)};
        const ProgressLine::Clock::time_point start = now;
        TerminalNow shown;
        std::ostringstream terminal;
        ProgressLine line(
            terminal, 1000, belowText, [&shown] { return shown; }, [&now] { return now; });
        line.erase();
        EXPECT_EQ(terminal.str(), "") << "erased a line that was never drawn";
        bool drawn = false;
        for (const Report& report : timeline) {
            now = start + std::chrono::milliseconds(report.milliseconds);
            shown = report.terminal;
            terminal.str("");
            line.unsortedPrefix(report.unsortedLength);
            const bool first = belowText && !drawn && !report.written.empty();
            EXPECT_EQ(terminal.str(), (first ? "\n" : "") + report.written)
                << "at " << report.milliseconds << " ms";
            drawn = drawn || first;
        }
        terminal.str("");
        line.erase();
        EXPECT_EQ(terminal.str(), '\r' + std::string(kLast.size(), ' ') + '\r');
    }
}

// What the program asks of a descriptor that is no terminal, a pipe (on Windows too, under Wine):
// nothing to stop for, and no width, so that the line is never cut short by a made-up one.
TEST(TerminalNowTest, APipeIsInTheForegroundWithoutAWidth) {
    int ends[2] = {-1, -1};
#ifdef _WIN32
    ASSERT_EQ(_pipe(ends, 64, 0), 0);
#else
    ASSERT_EQ(pipe(ends), 0);
#endif
    for (const int end : ends) {
        const TerminalNow now = terminalNow(end);
        EXPECT_TRUE(now.foreground);
        EXPECT_EQ(now.columns, 0);
#ifdef _WIN32
        _close(end);
#else
        close(end);
#endif
    }
}

}  // namespace
