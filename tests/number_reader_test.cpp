#include "number_reader.h"

#include "dialogue.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <sstream>
#include <string>

namespace {

struct TokenCase {
    const char* name;
    std::string input;
    TokenKind kind;
    std::int32_t value;      // for numbers
    std::string shown;       // for tokens that are no number
    bool ctrlZEnds = false;  // as on Windows, in 8-bit text
};

void PrintTo(const TokenCase& c, std::ostream* os) {
    *os << c.name;
}

// Delivers its text in pieces of a given size, as a pipe or a terminal does, whole and held
// before the first read (kWhole, as a buffer that has read ahead holds it), or with no bytes
// held at all (piece 0: one byte a read, as an unbuffered source gives them), so that tokens
// and white space meet a refill at every place. Counts the requests and whether the stream tied
// to the reader's had its output out by each; the text may go on for ever as one byte repeated.
constexpr std::size_t kWhole = std::size_t(-1);

class PieceBuffer : public std::streambuf {
  public:
    PieceBuffer(std::string text, std::size_t piece, std::function<bool()> pending = {})
        : text_(std::move(text)), piece_(piece), pending_(std::move(pending)) {
        if (piece_ == kWhole) {
            setg(text_.data(), text_.data(), text_.data() + text_.size());
            served = text_.size();
        }
    }
    int requests = 0;
    int requestsWithOutputPending = 0;
    std::size_t served = 0;
    int endless = -1;  // once the text is served, this byte up to 1 MiB, when one is given

  protected:
    int_type underflow() override {
        if (gptr() != egptr()) {
            return traits_type::to_int_type(*gptr());
        }
        ++requests;
        if (pending_ && pending_()) {
            ++requestsWithOutputPending;
        }
        if (served == text_.size() && endless >= 0 && served < (1 << 20)) {
            text_.append(piece_ == 0 ? 1 : piece_, static_cast<char>(endless));
        }
        if (served == text_.size()) {
            return traits_type::eof();
        }
        if (piece_ == 0) {
            return traits_type::to_int_type(text_[served]);
        }
        const std::size_t length = std::min(piece_, text_.size() - served);
        char* start = text_.data() + served;
        setg(start, start, start + length);
        served += length;
        return traits_type::to_int_type(*start);
    }

    int_type uflow() override {
        if (piece_ != 0) {
            return std::streambuf::uflow();
        }
        const int_type c = underflow();
        served += c == traits_type::eof() ? 0 : 1;
        return c;
    }

  private:
    std::string text_;
    std::size_t piece_;
    std::function<bool()> pending_;  // whether output waits in the stream tied to the reader's
};

// Whole, in pieces of 1 to 41 bytes, and unbuffered: the same token, the same bytes taken.
constexpr std::size_t kPieces[] = {kWhole, 1, 2, 3, 5, 11, 40, 41, 0};

// Each token alone and, as in a file, with more text after it, where the short path reads it a
// word at a time.
const std::string kMore = " and more text after it";

class ReadNumberTable : public ::testing::TestWithParam<TokenCase> {};

TEST_P(ReadNumberTable, ClassifiesTheToken) {
    TokenCase c = GetParam();
    for (const bool more : {false, true}) {
        if (more && c.kind == TokenKind::inputEnded) {
            break;
        }
        c.input += more ? kMore : "";
        std::size_t wholeTaken = 0;
        for (const std::size_t piece : kPieces) {
            PieceBuffer buffer(c.input, piece);
            std::istream in(&buffer);
            const TokenResult result = readNumber(in, c.ctrlZEnds);
            SCOPED_TRACE((more ? "with more text, pieces of " : "alone, pieces of ") +
                         std::to_string(piece));
            EXPECT_EQ(result.kind, c.kind);
            if (c.kind == TokenKind::number) {
                EXPECT_EQ(result.value, c.value);
            } else {
                EXPECT_EQ(result.shown, c.shown);
            }
            wholeTaken = piece == kWhole ? result.bytesTaken : wholeTaken;
            EXPECT_EQ(result.bytesTaken, wholeTaken);
            const std::size_t at = std::min(result.bytesTaken, c.input.size());
            EXPECT_EQ(result.lastByte, at == 0 ? std::istream::traits_type::eof()
                                               : static_cast<unsigned char>(c.input[at - 1]));
            // What the reader did not take is still there for the next read.
            std::string rest;
            in.clear();
            std::getline(in, rest, '\xfe');
            EXPECT_EQ(rest, c.input.substr(at));
        }
    }
}

const std::string k40(40, 'a');

std::string quoted(const std::string& body) {
    std::string text = "\"";
    text += body;
    text += '"';
    return text;
}

INSTANTIATE_TEST_SUITE_P(
    Numbers, ReadNumberTable,
    ::testing::Values(
        TokenCase{"plain", "42", TokenKind::number, 42, ""},
        TokenCase{"whiteSpaceOfEveryKind", " \t\r\n\v\f17\r\n", TokenKind::number, 17, ""},
        TokenCase{"plusSign", "+5", TokenKind::number, 5, ""},
        TokenCase{"minusZero", "-0", TokenKind::number, 0, ""},
        TokenCase{"leadingZeros", "-0000000000000000000012", TokenKind::number, -12, ""},
        TokenCase{"largest", "2147483647", TokenKind::number, 2147483647, ""},
        TokenCase{"smallest", "-2147483648", TokenKind::number, -2147483647 - 1, ""},
        TokenCase{"longLeadingZeros", std::string("-").append(100, '0') + "2147483648",
                  TokenKind::number, -2147483647 - 1, ""},
        TokenCase{"ctrlZEndsTheToken",
                  "12\x1a"
                  "3",
                  TokenKind::number, 12, "", true},
        TokenCase{"eightDigits", "-12345678\n", TokenKind::number, -12345678, ""},
        TokenCase{"nineDigits", "+123456789\t", TokenKind::number, 123456789, ""},
        TokenCase{"elevenDigits", "00000000012", TokenKind::number, 12, ""}),
    [](const auto& info) { return std::string(info.param.name); });

INSTANTIATE_TEST_SUITE_P(
    Problems, ReadNumberTable,
    ::testing::Values(
        TokenCase{"empty", "", TokenKind::inputEnded, 0, ""},
        TokenCase{"onlyWhiteSpace", " \n\t ", TokenKind::inputEnded, 0, ""},
        TokenCase{"word", "abc", TokenKind::notANumber, 0, "\"abc\""},
        TokenCase{"decimal", "3.5", TokenKind::notANumber, 0, "\"3.5\""},
        TokenCase{"comma", "1,2", TokenKind::notANumber, 0, "\"1,2\""},
        TokenCase{"trailingLetters", "5abc def", TokenKind::notANumber, 0, "\"5abc\""},
        TokenCase{"loneMinus", "-", TokenKind::notANumber, 0, "\"-\""},
        TokenCase{"lonePlus", "+ 1", TokenKind::notANumber, 0, "\"+\""},
        TokenCase{"twoSigns", "--1", TokenKind::notANumber, 0, "\"--1\""},
        TokenCase{"innerSign", "1-1", TokenKind::notANumber, 0, "\"1-1\""},
        TokenCase{"hex", "0x10", TokenKind::notANumber, 0, "\"0x10\""},
        TokenCase{"justAboveLargest", "2147483648", TokenKind::outOfRange, 0, "\"2147483648\""},
        TokenCase{"justBelowSmallest", "-2147483649", TokenKind::outOfRange, 0, "\"-2147483649\""},
        TokenCase{"smallestThenADigit", "-21474836480", TokenKind::outOfRange, 0,
                  "\"-21474836480\""},
        TokenCase{"huge", "99999999999999999999999", TokenKind::outOfRange, 0,
                  "\"99999999999999999999999\""},
        TokenCase{"forty", k40, TokenKind::notANumber, 0, quoted(k40)},
        TokenCase{"fortyOne", k40 + "b", TokenKind::notANumber, 0, quoted(k40 + "...")},
        TokenCase{"longDigits", std::string(60, '9'), TokenKind::outOfRange, 0,
                  quoted(std::string(40, '9') + "...")},
        // Past the shown bytes, a token out of range is not read on to see what else it holds.
        TokenCase{"longDigitsThenJunk", std::string(60, '9') + "x", TokenKind::outOfRange, 0,
                  quoted(std::string(40, '9') + "...")},
        TokenCase{"fortyDigitsThenJunk", std::string(40, '9') + "x", TokenKind::notANumber, 0,
                  quoted(std::string(40, '9') + "...")},
        TokenCase{"digitsThenJunk", "99999999999x", TokenKind::notANumber, 0, "\"99999999999x\""},
        TokenCase{"longZerosThenJunk", std::string(60, '0') + "5x", TokenKind::notANumber, 0,
                  quoted(std::string(40, '0') + "...")},
        TokenCase{"longZerosThenTooLarge", std::string(60, '0') + "2147483648",
                  TokenKind::outOfRange, 0, quoted(std::string(40, '0') + "...")},
        TokenCase{"junkThenLongZeros", std::string("x").append(60, '0'), TokenKind::notANumber, 0,
                  quoted("x" + std::string(39, '0') + "...")},
        TokenCase{"eightDigitsThenJunk", "12345678x", TokenKind::notANumber, 0, "\"12345678x\""},
        TokenCase{"ctrlZKeptOffWindows", "1\x1a", TokenKind::notANumber, 0, "\"1\\x1a\""},
        TokenCase{"ctrlZEndsTheInput", " \x1a 5", TokenKind::inputEnded, 0, "", true},
        TokenCase{"escapeSequence", "\x1b[2J", TokenKind::notANumber, 0, "\"\\x1b[2J\""},
        TokenCase{"nulAndHighBytes", std::string("1\0\xff", 3), TokenKind::notANumber, 0,
                  "\"1\\x00\\xff\""},
        TokenCase{"quoteAndDelete", "\"\x7f", TokenKind::notANumber, 0, "\"\"\\x7f\""},
        TokenCase{"slashJustBelowZero", "1/", TokenKind::notANumber, 0, "\"1/\""},
        TokenCase{"colonJustAboveNine", ":", TokenKind::notANumber, 0, "\":\""},
        TokenCase{"controlByteJustBelowSpace", "\x1f", TokenKind::notANumber, 0, "\"\\x1f\""},
        TokenCase{"printableEnds", "!~", TokenKind::notANumber, 0, "\"!~\""}),
    [](const auto& info) { return std::string(info.param.name); });

// A terminal delivers the end of the input once per key press, so a buffer is asked again only
// by a reader that missed it; this one counts such requests. Its read after the text can also be
// made to fail, as a read from a terminal that no longer serves the process does.
class TerminalLikeBuffer : public std::streambuf {
  public:
    TerminalLikeBuffer(std::string text, bool failing)
        : text_(std::move(text)), failing_(failing) {}
    int readsAfterTheEnd = 0;

  protected:
    int_type underflow() override {
        if (delivered_ || text_.empty()) {
            if (failing_) {
                throw std::ios_base::failure("input/output error");
            }
            ++readsAfterTheEnd;
            return traits_type::eof();
        }
        delivered_ = true;
        setg(text_.data(), text_.data(), text_.data() + text_.size());
        return traits_type::to_int_type(text_[0]);
    }

  private:
    std::string text_;
    bool failing_;
    bool delivered_ = false;
};

TEST(ReadNumber, NeverReadsAgainAfterTheEndOfTheInput) {
    TerminalLikeBuffer buffer("3\n1 2\n", false);
    std::istream in(&buffer);
    for (const std::int32_t expected : {3, 1, 2}) {
        EXPECT_EQ(readNumber(in).value, expected);
    }
    EXPECT_EQ(readNumber(in).kind, TokenKind::inputEnded);
    EXPECT_EQ(readNumber(in).kind, TokenKind::inputEnded);
    EXPECT_EQ(buffer.readsAfterTheEnd, 1);
}

TEST(ReadNumber, ReportsAFailingReadAsUnreadable) {
    TerminalLikeBuffer buffer("", true);
    std::istream in(&buffer);
    EXPECT_EQ(readNumber(in).kind, TokenKind::unreadable);
}

// The dialogue names the value that a failing read cut off.
TEST(ReadNumber, AFailingReadEndsTheDialogueAtItsValue) {
    TerminalLikeBuffer buffer("2 1 ", true);
    std::istream in(&buffer);
    std::ostringstream out, err;
    EXPECT_EQ(runSortDialogue(in, out, err), 1);
    EXPECT_EQ(err.str(), "error: expected number 2 of 2, but the input could not be read\n");
}

// Input that never ends is answered as soon as the token's fate is known: after the bytes a
// message shows and the one that tells it goes on.
struct EndlessCase {
    const char* name;
    std::string start;
    char endless;
    TokenKind kind;
};

class EndlessInput : public ::testing::TestWithParam<EndlessCase> {};

TEST_P(EndlessInput, IsAnsweredAfterTheShownBytes) {
    for (const std::size_t piece : {std::size_t{1}, std::size_t{4096}, std::size_t{0}}) {
        PieceBuffer buffer(GetParam().start, piece);
        buffer.endless = GetParam().endless;
        std::istream in(&buffer);
        const TokenResult result = readNumber(in);
        EXPECT_EQ(result.kind, GetParam().kind);
        EXPECT_EQ(result.bytesTaken, 41u);
        EXPECT_EQ(result.shown.substr(result.shown.size() - 4), "...\"");
    }
}

INSTANTIATE_TEST_SUITE_P(
    Tokens, EndlessInput,
    ::testing::Values(EndlessCase{"zeroBytes", "", '\0', TokenKind::notANumber},
                      EndlessCase{"digits", "", '9', TokenKind::outOfRange},
                      EndlessCase{"junkThenZeros", "x", '0', TokenKind::notANumber},
                      EndlessCase{"tooLargeThenZeros", "2147483648", '0', TokenKind::outOfRange}),
    [](const auto& info) { return std::string(info.param.name); });

// The prompt is out before the reader waits, yet not flushed for every number: only when the
// source is asked for more.
class PromptBuffer : public std::streambuf {
  public:
    PromptBuffer() { setp(area_, area_ + sizeof area_); }
    bool pending() const { return pptr() != pbase(); }
    int syncs = 0;
    std::string firstOut;  // what the first flush put out

  protected:
    int sync() override {
        firstOut = syncs++ == 0 ? std::string(pbase(), pptr()) : firstOut;
        setp(area_, area_ + sizeof area_);
        return 0;
    }

  private:
    char area_[256];
};

TEST(ReadNumber, FlushesTheTiedStreamOnlyBeforeAskingTheSource) {
    PromptBuffer prompts;
    std::ostream out(&prompts);
    PieceBuffer buffer("1 2 3 4 5 6", 4, [&] { return prompts.pending(); });
    std::istream in(&buffer);
    in.tie(&out);
    for (int k = 1; k <= 6; ++k) {
        out << "prompt";
        EXPECT_EQ(readNumber(in).value, k);
    }
    EXPECT_EQ(buffer.requests, 4);  // "1 2 ", "3 4 ", "5 6" and the end
    EXPECT_EQ(prompts.syncs, 4);
    EXPECT_EQ(buffer.requestsWithOutputPending, 0);
}

// Values typed ahead are read without asking the source, yet their prompt is out before the long
// sort starts, not only with the results.
TEST(ReadNumber, TheValuesPromptIsOutBeforeTheSort) {
    PromptBuffer prompts;
    std::ostream out(&prompts);
    std::istringstream in("2 3 1 ");
    std::ostringstream err;
    EXPECT_EQ(runSortDialogue(in, out, err), 0);
    EXPECT_EQ(prompts.firstOut, "Enter how many numbers to sort: Enter 2 numbers:\n");
}

// A Ctrl-Z that ends 8-bit input on Windows ends it for good, for what a reading problem takes
// of the delivered text too.
TEST(ReadNumber, ReadsNothingAfterACtrlZThatEndsTheInput) {
    std::istringstream in("1\x1a 2");
    EXPECT_EQ(readNumber(in, true).value, 1);
    int lastByte = 0;
    EXPECT_EQ(takeDeliveredText(in, lastByte), 0);
    EXPECT_EQ(readNumber(in, true).kind, TokenKind::inputEnded);
}

// Reading stops at the white space after a token, so what follows is still there to read.
TEST(ReadNumber, LeavesTheRestOfTheInputUnread) {
    std::istringstream in("12 -3\nrest");
    EXPECT_EQ(readNumber(in).value, 12);
    EXPECT_EQ(readNumber(in).value, -3);
    std::string rest;
    std::getline(in, rest);
    EXPECT_EQ(rest, "");
    std::getline(in, rest);
    EXPECT_EQ(rest, "rest");
}

}  // namespace
