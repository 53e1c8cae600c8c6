#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <ostream>
#include <string>

#include "bubble_sort/progress.h"

// The share of a bubble sort of n elements that is done once only a[0..unsortedLength) is left,
// counted in compare-exchanges: from 0 to 1.
double sortedShare(std::int32_t n, std::int32_t unsortedLength);

// The status line, for example "sorting 1000000 numbers: 42%, about 6 s left".
std::string progressText(std::int32_t n, double share, double secondsLeft);

// A status line on a terminal for a sort that takes a while: nothing for the first second, then
// the share done and the time left, redrawn a few times a second in place. erase() takes it off
// the screen again. It is drawn and erased with carriage returns and blanks alone, which every
// terminal takes. When the screen line holds text (typed without Enter), the line is drawn below
// it, after a line end; otherwise the screen is left as if it had never been there. now tells
// the time; the program keeps the steady clock, a test drives its own.
class ProgressLine final : public SortProgress {
  public:
    using Clock = std::chrono::steady_clock;

    ProgressLine(std::ostream& terminal, std::int32_t n, bool belowText = false,
                 std::function<Clock::time_point()> now = Clock::now);
    ProgressLine(const ProgressLine&) = delete;
    ProgressLine& operator=(const ProgressLine&) = delete;

    void unsortedPrefix(std::int32_t length) override;
    void erase();

  private:
    std::ostream& terminal_;
    std::int32_t n_;
    std::function<Clock::time_point()> now_;
    Clock::time_point start_;
    Clock::time_point nextDraw_;   // the quiet first second, then the redraw interval
    std::size_t drawnLength_ = 0;  // 0 while nothing is on the screen
    bool belowText_;               // until the first drawing
};
