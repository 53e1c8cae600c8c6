#include "progress_line.h"

#include <algorithm>
#include <cmath>
#include <limits>
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

std::string progressText(std::int32_t n, double share, double secondsLeft, std::size_t room) {
    // Whole percents, rounded down, so that 100% means done.
    const std::string percent = std::to_string(static_cast<int>(std::floor(share * 100.0))) + "%";
    std::string left;
    std::string aboutLeft;
    if (share > 0.0) {
        const auto seconds = static_cast<long long>(std::ceil(std::min(secondsLeft, 1e9)));
        left = seconds < 100 ? std::to_string(seconds) + " s left"
                             : std::to_string((seconds + 59) / 60) + " min left";
        aboutLeft = ", about " + left;
        left = ", " + left;
    }
    // The count is the person's own, and "about" and "sorting" say little once the line is known:
    // they go first, the share last.
    const std::string forms[] = {
        "sorting " + std::to_string(n) + " numbers: " + percent + aboutLeft,
        "sorting: " + percent + aboutLeft, "sorting: " + percent + left, percent + left, percent};
    for (const std::string& form : forms) {
        if (form.size() <= room) {
            return form;
        }
    }
    return "";
}

ProgressLine::ProgressLine(std::ostream& terminal, std::int32_t n, bool belowText,
                           std::function<TerminalNow()> terminalNow,
                           std::function<Clock::time_point()> now)
    : terminal_(terminal),
      n_(n),
      terminalNow_(std::move(terminalNow)),
      now_(std::move(now)),
      nextDraw_(now_() + kQuietFor),
      belowText_(belowText),
      lastTime_(nextDraw_ - kQuietFor) {}

// The median of the recent intervals' rates, so that the one interval in which the process was
// stopped (Ctrl-Z, then fg) or starved does not slow the estimate, and a stop long ago does not
// either. Redraws are a quarter of a second apart at least, so no interval is empty; without
// progress yet the time left is unknown, infinite, which only a share of 0 meets.
double ProgressLine::secondsLeft(Clock::time_point now, double share) {
    const double seconds = std::chrono::duration<double>(now - lastTime_).count();
    rates_[rateCount_ % kRecent] = (share - lastShare_) / seconds;
    ++rateCount_;
    lastTime_ = now;
    lastShare_ = share;
    std::array<double, kRecent> rates = rates_;
    const auto recent = static_cast<std::ptrdiff_t>(std::min(rateCount_, kRecent));
    const auto middle = rates.begin() + recent / 2;
    std::nth_element(rates.begin(), middle, rates.begin() + recent);
    return *middle > 0.0 ? (1.0 - share) / *middle : std::numeric_limits<double>::infinity();
}

std::size_t ProgressLine::room() {
    const TerminalNow now = terminalNow_();
    if (!now.foreground) {
        // The shell has the screen: what was drawn there is its now, and the line is not ours.
        drawnLength_ = 0;
        belowText_ = false;
        return 0;
    }
    // The last column is left free: a character there wraps the line on some terminals.
    return now.columns > 0 ? static_cast<std::size_t>(now.columns) - 1 : std::string::npos;
}

void ProgressLine::unsortedPrefix(std::int32_t length) {
    const Clock::time_point now = now_();
    if (now < nextDraw_) {
        return;
    }
    nextDraw_ = now + kRedrawEvery;
    const double share = sortedShare(n_, length);
    const double left = secondsLeft(now, share);
    const std::size_t fits = room();
    const std::string text = progressText(n_, share, left, fits);
    if (text.empty()) {
        eraseWithin(fits);
        return;
    }
    // One write a redraw: standard error is unbuffered. Blanks cover what a longer old line left.
    std::string line = belowText_ ? "\n\r" : "\r";
    belowText_ = false;
    line += text;
    const std::size_t cover = std::min(drawnLength_, fits);
    if (text.size() < cover) {
        line.append(cover - text.size(), ' ');
    }
    terminal_ << line << std::flush;
    drawnLength_ = text.size();
}

void ProgressLine::eraseWithin(std::size_t room) {
    if (drawnLength_ == 0 || room == 0) {
        return;
    }
    terminal_ << '\r' + std::string(std::min(drawnLength_, room), ' ') + '\r' << std::flush;
    drawnLength_ = 0;
}

void ProgressLine::erase() {
    eraseWithin(room());
}
