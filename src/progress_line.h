#pragma once

#include <array>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <ostream>
#include <string>

#include "bubble_sort/progress.h"
#include "terminal.h"

// The share of a bubble sort of n elements that is done once only a[0..unsortedLength) is left,
// counted in compare-exchanges: from 0 to 1.
double sortedShare(std::int32_t n, std::int32_t unsortedLength);

// The status line, for example "sorting 1000000 numbers: 42%, about 6 s left", in at most room
// characters: shorter forms drop the least useful words first, down to "42%"; empty when even
// that does not fit.
std::string progressText(std::int32_t n, double share, double secondsLeft,
                         std::size_t room = std::string::npos);

// A status line on a terminal for a sort that takes a while: nothing for the first second, then
// the share done and the time left, redrawn a few times a second in place. erase() takes it off
// the screen again. It is drawn and erased with carriage returns and blanks alone, which every
// terminal takes, and only while the process is in the terminal's foreground, short of the
// terminal's last column so that it never wraps. When the screen line holds text (typed without
// Enter), the line is drawn below it, after a line end; otherwise the screen is left as if it had
// never been there. terminal tells what the terminal is now and now the time; the program asks
// the real ones, a test plays its own.
class ProgressLine final : public SortProgress {
  public:
    using Clock = std::chrono::steady_clock;

    ProgressLine(
        std::ostream& terminal, std::int32_t n, bool belowText = false,
        std::function<TerminalNow()> terminalNow = [] { return TerminalNow{}; },
        std::function<Clock::time_point()> now = Clock::now);
    ProgressLine(const ProgressLine&) = delete;
    ProgressLine& operator=(const ProgressLine&) = delete;

    void unsortedPrefix(std::int32_t length) override;
    void erase();

  private:
    // The characters a line may have now, or 0 when nothing may be written (the background).
    std::size_t room();
    void eraseWithin(std::size_t room);
    double secondsLeft(Clock::time_point now, double share);

    std::ostream& terminal_;
    std::int32_t n_;
    std::function<TerminalNow()> terminalNow_;
    std::function<Clock::time_point()> now_;
    Clock::time_point nextDraw_;   // the quiet first second, then the redraw interval
    std::size_t drawnLength_ = 0;  // 0 while nothing is on the screen
    bool belowText_;               // until the first drawing

    // The shares done a second between the last redraws, for the estimate.
    static constexpr std::size_t kRecent = 8;
    std::array<double, kRecent> rates_{};
    std::size_t rateCount_ = 0;
    Clock::time_point lastTime_;
    double lastShare_ = 0.0;
};
