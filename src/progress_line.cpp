#include "progress_line.h"

#include <algorithm>
#include <cmath>
#include <utility>

namespace {

using namespace std::chrono_literals;

constexpr auto kQuietFor = 1s;  // short sorts show nothing
constexpr auto kRedrawEvery = 250ms;

// Compare-exchanges of a bubble sort of m elements, in floating point: n(n-1)/2 outgrows 64 bits
// nowhere, but its percentage would.
double compareExchanges(std::int32_t m) {
    return m < 2 ? 0.0 : 0.5 * m * (m - 1.0);
}

}  // namespace

double sortedShare(std::int32_t n, std::int32_t unsortedLength) {
    const double total = compareExchanges(n);
    if (total == 0.0) {
        return 1.0;
    }
    return (total - compareExchanges(unsortedLength)) / total;
}

std::string progressText(std::int32_t n, double share, double secondsLeft) {
    // Whole percents, rounded down, so that 100% means done.
    const auto percent = static_cast<int>(std::floor(share * 100.0));
    std::string text =
        "sorting " + std::to_string(n) + " numbers: " + std::to_string(percent) + "%";
    if (share > 0.0) {
        const auto seconds = static_cast<long long>(std::ceil(std::min(secondsLeft, 1e9)));
        text += seconds < 100 ? ", about " + std::to_string(seconds) + " s left"
                              : ", about " + std::to_string((seconds + 59) / 60) + " min left";
    }
    return text;
}

ProgressLine::ProgressLine(std::ostream& terminal, std::int32_t n, bool belowText,
                           std::function<Clock::time_point()> now)
    : terminal_(terminal),
      n_(n),
      now_(std::move(now)),
      start_(now_()),
      nextDraw_(start_ + kQuietFor),
      belowText_(belowText) {}

void ProgressLine::unsortedPrefix(std::int32_t length) {
    const Clock::time_point now = now_();
    if (now < nextDraw_) {
        return;
    }
    const double share = sortedShare(n_, length);
    const double elapsed = std::chrono::duration<double>(now - start_).count();
    const std::string text = progressText(n_, share, elapsed * (1.0 - share) / share);
    // One write a redraw: standard error is unbuffered. Blanks cover what a longer old line left.
    std::string line = belowText_ ? "\n\r" : "\r";
    belowText_ = false;
    line += text;
    if (text.size() < drawnLength_) {
        line.append(drawnLength_ - text.size(), ' ');
    }
    terminal_ << line << std::flush;
    nextDraw_ = now + kRedrawEvery;
    drawnLength_ = text.size();
}

void ProgressLine::erase() {
    if (drawnLength_ == 0) {
        return;
    }
    terminal_ << '\r' + std::string(drawnLength_, ' ') + '\r' << std::flush;
    drawnLength_ = 0;
}
