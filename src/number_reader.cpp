#include "number_reader.h"

#include "input_text.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstddef>
#include <cstring>
#include <limits>

namespace {

// A token is shown in an error message with at most this many of its bytes.
constexpr std::size_t kShownBytes = 40;

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

using Traits = std::istream::traits_type;
constexpr int kEnd = Traits::eof();
constexpr char kCtrlZ = '\x1a';

// The stream buffer's own pointers are protected: a derived class may name them for any buffer.
struct Pointers : std::streambuf {
    static char* next(const std::streambuf& buffer) { return (buffer.*&Pointers::gptr)(); }
    static char* end(const std::streambuf& buffer) { return (buffer.*&Pointers::egptr)(); }
    static void moveTo(std::streambuf& buffer, const char* next) {
        char* const start = (buffer.*&Pointers::eback)();
        (buffer.*&Pointers::setg)(start, start + (next - start), end(buffer));
    }
    static std::streamsize ready(std::streambuf& buffer) {
        return (buffer.*&Pointers::showmanyc)();
    }
};

// The bytes in's buffer holds, looked at in bulk: a reader looks at [next, end) and moves next
// on, and take() hands the bytes before next to the buffer as read. Only when they run out is
// the source asked for more, once the stream tied to in has its prompt out. A buffer that keeps
// no bytes where they can be looked at is read one byte at a time.
class HeldBytes {
  public:
    explicit HeldBytes(std::istream& in)
        : buffer_(*in.rdbuf()),
          tied_(in.tie()),
          next(Pointers::next(buffer_)),
          end(Pointers::end(buffer_)) {}
    HeldBytes(const HeldBytes&) = delete;
    HeldBytes& operator=(const HeldBytes&) = delete;

  private:
    std::streambuf& buffer_;
    std::ostream* tied_;
    bool single_ = false;  // next points at byte_, which the buffer still holds
    char byte_ = 0;

  public:
    const char* next;
    const char* end;

    void take() {
        if (!single_) {
            Pointers::moveTo(buffer_, next);
        } else if (next == end) {
            buffer_.sbumpc();
            single_ = false;
        }
    }

    // Takes the bytes looked at and asks for more; false at the end of the input.
    bool refill() {
        take();
        if (tied_ != nullptr) {
            tied_->flush();
        }
        const int c = buffer_.sgetc();
        if (c == kEnd) {
            return false;
        }
        next = Pointers::next(buffer_);
        end = Pointers::end(buffer_);
        if (next == end) {
            single_ = true;
            byte_ = Traits::to_char_type(c);
            next = &byte_;
            end = next + 1;
        }
        return true;
    }
};

// White space as the C locale has it; the program reads no locale.
bool isSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// 0 to 9 for a digit, 10 or more for any other byte.
unsigned digitOf(char c) {
    return static_cast<unsigned>(static_cast<unsigned char>(c)) - unsigned{'0'};
}

// What a token is, built from its bytes as they come, in one piece or across refills.
class Token {
  public:
    // Takes the token's bytes from next on, up to white space, a Ctrl-Z that ends the input, the
    // end of the piece, or the byte after which its fate is known; returns where it stopped.
    const char* take(const char* next, const char* end, bool ctrlZEnds) {
        const char* p = next;
        if (length_ == 0 && (*p == '-' || *p == '+')) {
            negative_ = *p == '-';
            ++p;
        }
        // In locals, so that the loop keeps them in registers.
        std::int64_t magnitude = magnitude_;
        const char* digitsFrom = p;
        for (; p != end; ++p) {
            const unsigned digit = digitOf(*p);
            if (digit < 10 && magnitude <= kLimit) {
                magnitude = magnitude * 10 + digit;
                continue;
            }
            if (isSpace(*p) || (ctrlZEnds && *p == kCtrlZ)) {
                break;
            }
            // Out of range or no number: its fate is known, and the rest is read only as far as
            // a message shows it, so that a token that never ends is answered at once.
            if (digit >= 10) {
                wellFormed_ = false;
                magnitude = kLimit + 1;
            }
            if (length_ + static_cast<std::size_t>(p + 1 - next) > kShownBytes) {
                known_ = true;
                ++p;
                break;
            }
        }
        hasDigits_ = hasDigits_ || p != digitsFrom;
        magnitude_ = magnitude;
        return p;
    }

    bool known() const { return known_; }

    // The bytes [from, to) belong to the token; from a piece before a refill, or its last one.
    void keep(const char* from, const char* to) {
        const auto length = static_cast<std::size_t>(to - from);
        if (length_ < kShownBytes) {
            std::copy_n(from, std::min(length, kShownBytes - length_), head_.data() + length_);
        }
        if (length > 0) {
            lastByte_ = Traits::to_int_type(to[-1]);
        }
        length_ += length;
    }

    // Says what the token was, [from, to) being its last piece.
    void finish(const char* from, const char* to, TokenResult& result) {
        result.bytesTaken += length_ + static_cast<std::size_t>(to - from);
        result.lastByte = to != from ? Traits::to_int_type(to[-1]) : lastByte_;
        if (wellFormed_ && hasDigits_ && magnitude_ <= (negative_ ? kLimit : kLimit - 1)) {
            result.kind = TokenKind::number;
            result.value = static_cast<std::int32_t>(negative_ ? -magnitude_ : magnitude_);
            return;
        }
        keep(from, to);
        result.kind = (wellFormed_ && hasDigits_) ? TokenKind::outOfRange : TokenKind::notANumber;
        const std::size_t shownLength = length_ < kShownBytes ? length_ : kShownBytes;
        result.shown = quoteForTerminal({head_.data(), shownLength}, length_ > kShownBytes);
    }

  private:
    // The magnitude stops growing once it is past every 32-bit value.
    static constexpr std::int64_t kLimit =
        std::int64_t{std::numeric_limits<std::int32_t>::max()} + 1;

    std::array<char, kShownBytes> head_;  // the first bytes, for a message
    std::size_t length_ = 0;
    int lastByte_ = kEnd;
    bool negative_ = false;
    bool wellFormed_ = true;
    bool hasDigits_ = false;
    bool known_ = false;
    std::int64_t magnitude_ = 0;
};

// Eight bytes from p as one word, the first byte in the lowest, less '0' from each: a digit's
// byte then holds its value. Where a byte before them was no digit, the rest may be off by a
// borrow; only the first such byte is looked at.
std::uint64_t digitWord(const char* p) {
    std::uint64_t word = 0;
    std::memcpy(&word, p, sizeof word);
    return word - 0x3030303030303030;
}

// How many of a digit word's bytes, from the first, are digits: 0 to 8.
int digitCount(std::uint64_t values) {
    // A byte is no digit when its value is 10 or more (+0x76 reaches the top bit) or was below
    // '0' (wrapped round to the top bit).
    const std::uint64_t noDigit = (values | (values + 0x7676767676767676)) & 0x8080808080808080;
    return noDigit == 0 ? 8 : std::countr_zero(noDigit) / 8;
}

// The number written by the first count (1 to 8) digits of a digit word: the digits are moved to
// the top, so that the bytes below them stand for leading zeros, then paired, paired again and
// added, two digits, four and eight at a time.
std::uint64_t digitsValue(std::uint64_t values, int count) {
    std::uint64_t v = values << (8 * (8 - count));
    v = v * 10 + (v >> 8);
    constexpr std::uint64_t kPairs = 0x000000ff000000ff;
    v = ((v & kPairs) * (100 + (1000000ULL << 32)) + ((v >> 16 & kPairs) * (1 + (10000ULL << 32))));
    return v >> 32;
}

// Reads a number of at most ten digits, with or without a sign, that ends in white space before
// end, as nearly every token is; returns where it ended, or nullptr for any other token, which
// Token then reads from its start. Eight digits at a time where sixteen bytes are at hand; the
// sign and the ninth and tenth digits, which random numbers make unpredictable, are taken as
// data rather than by branches.
const char* shortNumber(const char* p, const char* end, std::int32_t& value) {
    constexpr std::uint64_t kLargest = std::numeric_limits<std::int32_t>::max();
    constexpr std::ptrdiff_t kDigits = 10;
    const std::uint64_t negative = *p == '-' ? 1 : 0;
    const char* digits = p + ((*p == '-') | (*p == '+'));
    std::uint64_t magnitude = 0;
    const char* q = digits;
    if constexpr (std::endian::native == std::endian::little) {
        if (end - digits >= 16) {
            const std::uint64_t first = digitWord(digits);
            const int count = digitCount(first);
            if (count == 8) {
                const std::uint64_t second = digitWord(digits + 8);
                const int more = digitCount(second);
                if (more > 2) {
                    return nullptr;
                }
                // The second word's first two bytes, each kept only where it is a digit.
                static constexpr std::uint64_t kScale[] = {1, 10, 100};
                const std::uint64_t ninth = second & 0xff & (0 - std::uint64_t{more > 0});
                const std::uint64_t tenth = second >> 8 & 0xff & (0 - std::uint64_t{more > 1});
                magnitude =
                    digitsValue(first, 8) * kScale[more] + ninth * (kScale[more] / 10) + tenth;
                q += 8 + more;
            } else if (count > 0) {
                magnitude = digitsValue(first, count);
                q += count;
            } else {
                return nullptr;
            }
        }
    }
    if (q == digits) {
        const char* last = end - digits > kDigits ? digits + kDigits : end;
        for (; q != last && digitOf(*q) < 10; ++q) {
            magnitude = magnitude * 10 + digitOf(*q);
        }
    }
    if (q == digits || q == end || !isSpace(*q) || magnitude > kLargest + negative) {
        return nullptr;
    }
    // Negated as two's complement does it, without a branch on the sign.
    value = static_cast<std::int32_t>((magnitude ^ (0 - negative)) + negative);
    return q;
}

// The reader for every token: across refills, at the end of the input, a Ctrl-Z.
void readToken(std::istream& in, bool ctrlZEnds, TokenResult& result) {
    HeldBytes bytes(in);
    for (;;) {
        const char* p = bytes.next;
        while (p != bytes.end && isSpace(*p)) {
            ++p;
        }
        if (p != bytes.next) {
            result.bytesTaken += static_cast<std::size_t>(p - bytes.next);
            result.lastByte = Traits::to_int_type(p[-1]);
            bytes.next = p;
        }
        if (p != bytes.end) {
            break;
        }
        if (!bytes.refill()) {
            in.setstate(std::ios::eofbit);
            return;
        }
    }
    if (const char* after = shortNumber(bytes.next, bytes.end, result.value)) {
        result.kind = TokenKind::number;
        result.bytesTaken += static_cast<std::size_t>(after - bytes.next);
        result.lastByte = Traits::to_int_type(after[-1]);
        bytes.next = after;
    } else if (!(ctrlZEnds && *bytes.next == kCtrlZ)) {
        Token token;
        for (;;) {
            const char* from = bytes.next;
            bytes.next = token.take(from, bytes.end, ctrlZEnds);
            if (bytes.next != bytes.end || token.known()) {
                token.finish(from, bytes.next, result);
                break;
            }
            token.keep(from, bytes.next);
            if (!bytes.refill()) {
                in.setstate(std::ios::eofbit);
                token.finish(bytes.next, bytes.next, result);
                return;
            }
        }
    }
    // A Ctrl-Z that ends the input stays unread, as the C runtime's text mode leaves it.
    if (ctrlZEnds && bytes.next != bytes.end && *bytes.next == kCtrlZ) {
        in.setstate(std::ios::eofbit);
    }
    bytes.take();
}

// Kept out of readNumber, so that the common case there stays a short function.
#if defined(_MSC_VER)
#define SORTDEMO_NEVER_INLINE __declspec(noinline)
#else
#define SORTDEMO_NEVER_INLINE __attribute__((noinline))
#endif

SORTDEMO_NEVER_INLINE void readAnyToken(std::istream& in, bool ctrlZEnds, TokenResult& result) {
    if (in.bad()) {
        result.kind = TokenKind::unreadable;
        return;
    }
    if (!in.good()) {
        return;
    }
    // A read that fails (a terminal that no longer serves this process, a device error) makes
    // some libraries' stream buffers throw: it is a problem with the input, not a crash.
    try {
        readToken(in, ctrlZEnds, result);
        return;
    } catch (const HalfCharacter&) {
        in.setstate(std::ios::eofbit);
        result = TokenResult{};
        result.kind = TokenKind::halfCharacter;
    } catch (const std::ios_base::failure&) {
        in.setstate(std::ios::badbit);
        result = TokenResult{};
        result.kind = TokenKind::unreadable;
    }
}

}  // namespace

TokenResult readNumber(std::istream& in, bool ctrlZEnds) {
    TokenResult result;
    // Nearly every token: white space and a short number, both in the bytes the buffer holds.
    if (in.rdstate() == std::ios::goodbit) {
        std::streambuf& buffer = *in.rdbuf();
        const char* start = Pointers::next(buffer);
        const char* end = Pointers::end(buffer);
        const char* p = start;
        while (p != end && isSpace(*p)) {
            ++p;
        }
        if (p != end) {
            if (const char* after = shortNumber(p, end, result.value)) {
                result.kind = TokenKind::number;
                result.bytesTaken = static_cast<std::size_t>(after - start);
                result.lastByte = Traits::to_int_type(after[-1]);
                Pointers::moveTo(buffer, after);
                return result;
            }
        }
    }
    readAnyToken(in, ctrlZEnds, result);
    return result;
}

std::string_view bufferedText(const std::istream& in) {
    const char* next = Pointers::next(*in.rdbuf());
    return {next, static_cast<std::size_t>(Pointers::end(*in.rdbuf()) - next)};
}

std::streamsize bytesAtHand(const std::istream& in) {
    return std::max<std::streamsize>(static_cast<std::streamsize>(bufferedText(in).size()),
                                     Pointers::ready(*in.rdbuf()));
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
