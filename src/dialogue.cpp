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

// Whether the prompts go to standard error as well: with standard output going to a file or a
// pipe, a person typing at the terminal would not see what to type.
bool promptsOnError(StandardTerminals terminals) {
    return !terminals.output && terminals.input && terminals.error;
}

// Follows what the terminal's screen line ends with, so that an error line, the second prompt or
// the progress line can start a line of its own. The last thing on the screen is the last
// prompt, unless the terminal has delivered more text than was waiting when the prompt went
// out: then it is the last byte of that text. Input from a file or a pipe shows nothing on the
// screen. The caller writes its line end only to a terminal: pipes and files get no extra byte.
class ScreenLine {
  public:
    ScreenLine(std::istream& in, StandardTerminals terminals)
        : in_(in),
          echoes_(terminals.input),
          watching_(kInputCanEndMidLine && terminals.input),
          promptsShown_(terminals.output || promptsOnError(terminals)) {}

    void prompted(bool endsLine) {
        if (promptsShown_) {
            promptEndsLine_ = endsLine;
        }
        if (watching_ && promptsShown_) {
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
        if (!echoes_) {
            return !promptEndsLine_;
        }
        if (!watching_) {
            return false;  // every read from this terminal ended with Enter
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
    bool echoes_;    // what is typed shows on the screen line
    bool watching_;  // and can end without a line end
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
    // An error line starts a screen line of its own, on a terminal only.
    const auto errorOwnLine = [&screen, terminals] {
        return terminals.error && screen.needsLineEnd();
    };
    // The prompts are the dialogue's output, and shown on the screen besides where that is not.
    // What was typed ahead is measured before a prompt can show: what is typed once it shows is
    // an answer to it.
    const auto prompt = [&](const std::string& text, bool endsLine) {
        out << text;
        screen.prompted(endsLine);
        if (promptsOnError(terminals)) {
            err << text << std::flush;
        }
    };
    prompt("Enter how many numbers to sort: ", false);
    const InputText text(in);  // a byte-order mark at the start: skipped, or UTF-16 read as text
    const bool ctrlZEnds = text.ctrlZEndsInput();
    const TokenResult count = readNumber(in, ctrlZEnds);
    screen.read(count);
    if (count.kind != TokenKind::number) {
        return fail(err, countProblem(count), errorOwnLine());
    }
    const std::int32_t size = count.value;

    try {
        std::vector<std::int32_t> numbers;
        // The count is untrusted: room is made for no more values than the input at hand can
        // hold, a digit and white space each; past that the sequence grows as values arrive.
        const std::int64_t atHand = std::max<std::int64_t>(0, bytesAtHand(in));
        numbers.reserve(
            static_cast<std::size_t>(std::min<std::int64_t>(std::max(size, 0), atHand / 2 + 1)));
        // Below text typed after the count without Enter, on the screen alone. (From a pipe the
        // prompts run together, as they always have.)
        if (terminals.input && screen.holdsText()) {
            if (terminals.output) {
                out << '\n';
            } else if (promptsOnError(terminals)) {
                err << '\n';
            }
        }
        prompt("Enter " + std::to_string(size) + " numbers:\n", true);
        // Out now, as a person at a terminal sees it before the values typed after it.
        out.flush();
        std::int32_t input = 0;
        for (std::int32_t counter = 0; counter < size; ++counter) {
            const TokenResult value = readNumber(in, ctrlZEnds);
            screen.read(value);
            if (value.kind != TokenKind::number) {
                return fail(err, valueProblem(value, counter + 1, size), errorOwnLine());
            }
            input = value.value;
            numbers.push_back(input);
        }

        std::vector<std::int32_t> bubbleSorted = numbers;
        std::vector<std::int32_t> stdSorted = numbers;
        // A long sort shows how far it has come on a terminal, on a screen line of its own, and
        // erases that before the results.
        ProgressLine progress(err, static_cast<std::int32_t>(bubbleSorted.size()),
                              screen.holdsText(), [] { return terminalNow(2); });
        bubbleSort(bubbleSorted, terminals.error ? &progress : nullptr);
        progress.erase();
        std::sort(stdSorted.begin(), stdSorted.end());

        out << "\nSorted using Bubble Sort: ";
        printVector(bubbleSorted, out);
        out << "Sorted using std::sort: ";
        printVector(stdSorted, out);
    } catch (const std::bad_alloc&) {
        return fail(err, "not enough memory for " + std::to_string(size) + " numbers",
                    errorOwnLine());
    }

    if (!out) {
        return fail(err, "could not write the results");
    }
    return 0;
}
