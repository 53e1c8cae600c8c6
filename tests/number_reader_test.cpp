#include "number_reader.h"

#include "dialogue.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>

namespace {

struct TokenCase {
    const char* name;
    std::string input;
    TokenKind kind;
    std::int32_t value;  // for numbers
    std::string shown;   // for tokens that are no number
};

void PrintTo(const TokenCase& c, std::ostream* os) {
    *os << c.name;
}

class ReadNumberTable : public ::testing::TestWithParam<TokenCase> {};

TEST_P(ReadNumberTable, ClassifiesTheToken) {
    std::istringstream in(GetParam().input);
    const TokenResult result = readNumber(in);
    EXPECT_EQ(result.kind, GetParam().kind);
    if (GetParam().kind == TokenKind::number) {
        EXPECT_EQ(result.value, GetParam().value);
    } else {
        EXPECT_EQ(result.shown, GetParam().shown);
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
    ::testing::Values(TokenCase{"plain", "42", TokenKind::number, 42, ""},
                      TokenCase{"leadingWhiteSpace", " \t\r\n\v\f17", TokenKind::number, 17, ""},
                      TokenCase{"plusSign", "+5", TokenKind::number, 5, ""},
                      TokenCase{"minusZero", "-0", TokenKind::number, 0, ""},
                      TokenCase{"leadingZeros", "-0000000000000000000012", TokenKind::number, -12,
                                ""},
                      TokenCase{"largest", "2147483647", TokenKind::number, 2147483647, ""},
                      TokenCase{"smallest", "-2147483648", TokenKind::number, -2147483647 - 1, ""}),
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
        TokenCase{"longDigitsThenJunk", std::string(60, '9') + "x", TokenKind::notANumber, 0,
                  quoted(std::string(40, '9') + "...")},
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
