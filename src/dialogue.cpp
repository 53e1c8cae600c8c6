#include "dialogue.h"

#include <algorithm>
#include <cstdint>
#include <new>
#include <string>
#include <string_view>
#include <vector>

#include "bubble_sort/bubble_sort.h"
#include "input_text.h"
#include "number_reader.h"
#include "print_vector.h"
#include "progress_line.h"

namespace {

constexpr const char* kRange = " is out of range (-2147483648 to 2147483647)";

constexpr int kNoByte = std::istream::traits_type::eof();

// Follows what the terminal's screen line ends with, so that an error line or the progress line
// can start a line of its own. The last thing on the screen is the last prompt, unless the
// terminal has delivered more text than was waiting when the prompt went out: then it is the last
// byte of that text. Only where standard input and standard error are one person's terminal;
// pipes and files get no extra byte.
class ScreenLine {
  public:
    ScreenLine(std::istream& in, StandardTerminals terminals)
        : in_(in),
          watching_(kInputCanEndMidLine && terminals.input && terminals.error),
          promptsShown_(terminals.output) {}

    void prompted(bool endsLine) {
        if (watching_ && promptsShown_) {
            promptEndsLine_ = endsLine;
            // Text typed before the prompt was echoed above it, whether the program has read it
            // from the terminal yet or not.
            waiting_ = static_cast<std::streamsize>(bufferedText(in_).size()) +
                       typedAheadOnStandardInput();
            taken_ = 0;
        }
    }

    void read(const TokenResult& token) {
        taken_ += static_cast<std::streamsize>(token.bytesTaken);
        if (token.lastByte != kNoByte) {
            lastByte_ = token.lastByte;
        }
    }

    // Whether the screen line holds text, as far as the bytes taken and those delivered but not
    // yet taken tell; reads nothing more.
    bool holdsText() const {
        if (!watching_) {
            return false;
        }
        const std::string_view rest = bufferedText(in_);
        const int lastByte = rest.empty() ? lastByte_ : static_cast<unsigned char>(rest.back());
        const auto delivered = taken_ + static_cast<std::streamsize>(rest.size());
        return delivered > waiting_ ? lastByte != '\n' : !promptEndsLine_;
    }

    // Whether an error line must be preceded by a line end.
    bool needsLineEnd() {
        if (watching_) {
            // The reader may have stopped before the end of the typed text: take the rest.
            taken_ += takeDeliveredText(in_, lastByte_);
        }
        return holdsText();
    }

  private:
    std::istream& in_;
    bool watching_;
    bool promptsShown_;
    bool promptEndsLine_ = true;   // without prompts: the line end that started the program
    std::streamsize waiting_ = 0;  // bytes delivered but not read when the last prompt went out
    std::streamsize taken_ = 0;    // bytes the reader has taken since
    int lastByte_ = kNoByte;
};

int fail(std::ostream& err, const std::string& message, bool ownLine = false) {
    // One write, so that a shell's job notice cannot land inside the line.
    err << (std::string(ownLine ? "\nerror: " : "error: ") + message + '\n') << std::flush;
    return 1;
}

// What stood where a number was expected, after "but ": the end of the input or the token.
std::string instead(const TokenResult& token) {
    switch (token.kind) {
        case TokenKind::inputEnded:
            return "the input ended";
        case TokenKind::unreadable:
            return "the input could not be read";
        case TokenKind::halfCharacter:
            return "the input ended in half a UTF-16 character";
        default:
            return "found " + token.shown;
    }
}

std::string countProblem(const TokenResult& count) {
    if (count.kind == TokenKind::outOfRange) {
        return "the count " + count.shown + kRange;
    }
    return "expected how many numbers to sort, but " + instead(count);
}

std::string valueProblem(const TokenResult& value, std::int32_t position, std::int32_t size) {
    const std::string ofSize = std::to_string(position) + " of " + std::to_string(size);
    if (value.kind == TokenKind::outOfRange) {
        return "number " + ofSize + ", " + value.shown + "," + kRange;
    }
    return "expected number " + ofSize + ", but " + instead(value);
}

}  // namespace

int runSortDialogue(std::istream& in, std::ostream& out, std::ostream& err,
                    StandardTerminals terminals) {
    ScreenLine screen(in, terminals);
    out << "Enter how many numbers to sort: ";
    screen.prompted(false);
    const InputText text(in);  // a byte-order mark at the start: skipped, or UTF-16 read as text
    const bool ctrlZEnds = text.ctrlZEndsInput();
    const TokenResult count = readNumber(in, ctrlZEnds);
    screen.read(count);
    if (count.kind != TokenKind::number) {
        return fail(err, countProblem(count), screen.needsLineEnd());
    }
    const std::int32_t size = count.value;

    try {
        std::vector<std::int32_t> numbers;
        // The count is untrusted: room is made for no more values than the input at hand can
        // hold, a digit and white space each; past that the sequence grows as values arrive.
        const std::int64_t atHand = std::max<std::int64_t>(0, bytesAtHand(in));
        numbers.reserve(
            static_cast<std::size_t>(std::min<std::int64_t>(std::max(size, 0), atHand / 2 + 1)));
        // Out now, as a person at a terminal sees it before the values typed after it.
        out << "Enter " << size << " numbers:\n" << std::flush;
        screen.prompted(true);
        std::int32_t input = 0;
        for (std::int32_t counter = 0; counter < size; ++counter) {
            const TokenResult value = readNumber(in, ctrlZEnds);
            screen.read(value);
            if (value.kind != TokenKind::number) {
                return fail(err, valueProblem(value, counter + 1, size), screen.needsLineEnd());
            }
            input = value.value;
            numbers.push_back(input);
        }

        std::vector<std::int32_t> bubbleSorted = numbers;
        std::vector<std::int32_t> stdSorted = numbers;
        // A long sort shows how far it has come on a terminal, on a screen line of its own, and
        // erases that before the results.
        ProgressLine progress(err, static_cast<std::int32_t>(bubbleSorted.size()),
                              screen.holdsText());
        bubbleSort(bubbleSorted, terminals.error ? &progress : nullptr);
        progress.erase();
        std::sort(stdSorted.begin(), stdSorted.end());

        out << "\nSorted using Bubble Sort: ";
        printVector(bubbleSorted, out);
        out << "Sorted using std::sort: ";
        printVector(stdSorted, out);
    } catch (const std::bad_alloc&) {
        return fail(err, "not enough memory for " + std::to_string(size) + " numbers",
                    screen.needsLineEnd());
    }

    if (!out) {
        return fail(err, "could not write the results");
    }
    return 0;
}
