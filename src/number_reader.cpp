#include "number_reader.h"

#include "input_text.h"

#include <array>
#include <cstddef>
#include <limits>

namespace {

// A token is shown in an error message with at most this many of its bytes.
constexpr std::size_t kShownBytes = 40;

// White space as the C locale has it; the program reads no locale.
bool isSpace(int c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

bool isDigit(int c) {
    return c >= '0' && c <= '9';
}

}  // namespace

std::string quoteForTerminal(std::string_view bytes, bool cut) {
    static constexpr char kHex[] = "0123456789abcdef";
    std::string quoted = "\"";
    for (const char ch : bytes) {
        const auto byte = static_cast<unsigned char>(ch);
        if (ch == '\\') {
            quoted += "\\\\";  // doubled: a shown \x1b always stands for the escape byte
        } else if (byte >= 0x20 && byte <= 0x7e) {
            quoted.push_back(ch);
        } else {
            quoted += "\\x";
            quoted.push_back(kHex[byte >> 4]);
            quoted.push_back(kHex[byte & 0xf]);
        }
    }
    if (cut) {
        quoted += "...";
    }
    quoted.push_back('"');
    return quoted;
}

namespace {

TokenResult readToken(std::istream& in) {
    using Traits = std::istream::traits_type;
    constexpr int eof = Traits::eof();
    std::streambuf* buffer = in.rdbuf();

    TokenResult result;
    int c = buffer->sgetc();
    while (c != eof && isSpace(c)) {
        result.lastByte = c;
        ++result.bytesTaken;
        c = buffer->snextc();
    }
    if (c == eof) {
        in.setstate(std::ios::eofbit);
        return result;
    }

    // One pass over the token: keep its first bytes for a message, check its form and build the
    // magnitude, which stops growing once it is past every 32-bit value.
    constexpr std::int64_t kLimit = std::int64_t{std::numeric_limits<std::int32_t>::max()} + 1;
    std::array<char, kShownBytes> head{};
    std::size_t length = 0;
    const bool negative = c == '-';
    const bool hasSign = negative || c == '+';
    bool wellFormed = true;
    bool hasDigits = false;
    std::int64_t magnitude = 0;
    for (; c != eof && !isSpace(c); c = buffer->snextc(), ++length) {
        result.lastByte = c;
        if (length < kShownBytes) {
            head[length] = Traits::to_char_type(c);
        }
        if (length == 0 && hasSign) {
            continue;
        }
        if (!isDigit(c)) {
            wellFormed = false;
        } else {
            hasDigits = true;
            if (magnitude <= kLimit) {
                magnitude = magnitude * 10 + (c - '0');
            }
        }
    }
    if (c == eof) {
        in.setstate(std::ios::eofbit);
    }
    result.bytesTaken += length;

    if (wellFormed && hasDigits && magnitude <= (negative ? kLimit : kLimit - 1)) {
        result.kind = TokenKind::number;
        result.value = static_cast<std::int32_t>(negative ? -magnitude : magnitude);
        return result;
    }
    result.kind = (wellFormed && hasDigits) ? TokenKind::outOfRange : TokenKind::notANumber;
    const std::size_t shownLength = length < kShownBytes ? length : kShownBytes;
    result.shown = quoteForTerminal({head.data(), shownLength}, length > kShownBytes);
    return result;
}

}  // namespace

TokenResult readNumber(std::istream& in) {
    if (std::ostream* tied = in.tie()) {
        tied->flush();
    }
    TokenResult problem;
    if (in.bad()) {
        problem.kind = TokenKind::unreadable;
        return problem;
    }
    if (!in.good()) {
        return problem;
    }
    // A read that fails (a terminal that no longer serves this process, a device error) makes
    // some libraries' stream buffers throw: it is a problem with the input, not a crash.
    try {
        return readToken(in);
    } catch (const HalfCharacter&) {
        in.setstate(std::ios::eofbit);
        problem.kind = TokenKind::halfCharacter;
    } catch (const std::ios_base::failure&) {
        in.setstate(std::ios::badbit);
        problem.kind = TokenKind::unreadable;
    }
    return problem;
}

std::string_view bufferedText(const std::istream& in) {
    // The buffer's own pointers are protected: a derived class may name them for any buffer.
    struct View : std::streambuf {
        static std::string_view held(const std::streambuf& buffer) {
            const char* next = (buffer.*&View::gptr)();
            return {next, static_cast<std::size_t>((buffer.*&View::egptr)() - next)};
        }
    };
    return View::held(*in.rdbuf());
}

std::streamsize takeDeliveredText(std::istream& in, int& lastByte) {
    // The screen's cursor stands after the last byte the terminal delivered, which may lie
    // beyond what the reader took.
    std::streambuf* buffer = in.rdbuf();
    std::streamsize taken = 0;
    for (; in.good() && buffer->in_avail() > 0; ++taken) {
        lastByte = buffer->sbumpc();
    }
    return taken;
}
