#include "input_text.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>

#include <cstdio>
#endif

namespace {

using Traits = std::streambuf::traits_type;
constexpr int kEnd = Traits::eof();

enum class Encoding { bytes, utf16le, utf16be };

// Reads the source for in when its first bytes were taken to look for a mark: gives the bytes
// taken first and then the source's own, or, after a UTF-16 mark, each character as its UTF-8
// bytes. One character at a time, so that a half character at the end of the input is met only
// by a read that gets that far. Once the source has ended it is not asked again: a terminal
// would wait for another end-of-input key.
class TextBuffer final : public std::streambuf {
  public:
    TextBuffer(std::streambuf& source, Encoding encoding, std::string_view taken, bool ended)
        : source_(source), encoding_(encoding), ended_(ended) {
        taken.copy(bytes_, taken.size());
        setg(bytes_, bytes_, bytes_ + taken.size());
    }

  protected:
    int_type underflow() override {
        if (gptr() == egptr()) {
            const std::size_t length = encoding_ == Encoding::bytes ? nextByte() : nextCharacter();
            if (length == 0) {
                return kEnd;
            }
            setg(bytes_, bytes_, bytes_ + length);
        }
        return Traits::to_int_type(*gptr());
    }

    // What has been delivered and not read yet, for the bytes as they are; UTF-16 tells nothing.
    std::streamsize showmanyc() override {
        return encoding_ == Encoding::bytes && !ended_ ? source_.in_avail() : 0;
    }

  public:
    // How many of the bytes taken from the source the reader has not used: the character not
    // yet begun and a unit read ahead after half a surrogate pair.
    std::streamoff unusedSourceBytes() const {
        if (encoding_ == Encoding::bytes) {
            return egptr() - gptr();
        }
        const std::streamoff current = gptr() == eback() && gptr() != egptr() ? 2 * units_ : 0;
        return current + (pendingUnit_ != kEnd ? 2 : 0);
    }

  private:
    int next() {
        const int byte = ended_ ? kEnd : source_.sbumpc();
        ended_ = byte == kEnd;
        return byte;
    }

    std::size_t nextByte() {
        const int byte = next();
        bytes_[0] = Traits::to_char_type(byte);
        return byte == kEnd ? 0 : 1;
    }

    // The next code unit, or kEnd when the input ends before it.
    int nextUnit() {
        const int first = next();
        if (first == kEnd) {
            return kEnd;
        }
        const int second = next();
        if (second == kEnd) {
            throw HalfCharacter();
        }
        return encoding_ == Encoding::utf16be ? first << 8 | second : second << 8 | first;
    }

    // The next character as UTF-8. A surrogate without its other half is no character, but is
    // written as one would be, so that it shows as what it is in a message.
    std::size_t nextCharacter() {
        const int unit = pendingUnit_ != kEnd ? pendingUnit_ : nextUnit();
        pendingUnit_ = kEnd;
        units_ = 1;
        if (unit == kEnd) {
            return 0;
        }
        std::uint32_t c = static_cast<std::uint32_t>(unit);
        if (c >= 0xd800 && c < 0xdc00) {
            const int low = nextUnit();
            if (low == kEnd) {
                throw HalfCharacter();
            }
            if (low >= 0xdc00 && low < 0xe000) {
                units_ = 2;
                c = 0x10000 + ((c - 0xd800) << 10) + (static_cast<std::uint32_t>(low) - 0xdc00);
            } else {
                pendingUnit_ = low;
            }
        }
        return utf8(c);
    }

    std::size_t utf8(std::uint32_t c) {
        // The first byte tells the length and holds the highest bits; the others 6 bits each.
        static constexpr std::uint32_t kFirst[] = {0, 0, 0xc0, 0xe0, 0xf0};
        const std::size_t length = c < 0x80 ? 1 : c < 0x800 ? 2 : c < 0x10000 ? 3 : 4;
        for (std::size_t k = length - 1; k > 0; --k, c >>= 6) {
            bytes_[k] = static_cast<char>(0x80 | (c & 0x3f));
        }
        bytes_[0] = static_cast<char>(kFirst[length] | c);
        return length;
    }

    std::streambuf& source_;
    Encoding encoding_;
    bool ended_;
    int pendingUnit_ = kEnd;  // a unit read after a lone first half of a surrogate pair
    int units_ = 0;           // the code units of the character in bytes_
    char bytes_[4] = {};
};

}  // namespace

InputText::InputText(std::istream& in) : in_(in), source_(in.rdbuf()) {
    if (std::ostream* tied = in.tie()) {
        tied->flush();
    }
    if (!in.good()) {
        return;
    }
    // The marks differ in their first byte, which no ASCII input starts with.
    struct Mark {
        std::string_view bytes;
        Encoding encoding;
    };
    static constexpr Mark kMarks[] = {{"\xef\xbb\xbf", Encoding::bytes},
                                      {"\xff\xfe", Encoding::utf16le},
                                      {"\xfe\xff", Encoding::utf16be}};
    try {
        int byte = source_->sgetc();
        if (byte == kEnd) {
            in.setstate(std::ios::eofbit);
            return;
        }
        for (const Mark& mark : kMarks) {
            std::string taken;
            while (taken.size() < mark.bytes.size() &&
                   byte == static_cast<unsigned char>(mark.bytes[taken.size()])) {
                taken.push_back(Traits::to_char_type(source_->sbumpc()));
                byte = source_->sgetc();
            }
            if (taken.size() == mark.bytes.size()) {
                if (byte == kEnd) {
                    // Ended right after the mark: a terminal would wait for another end key.
                    in.setstate(std::ios::eofbit);
                } else if (mark.encoding != Encoding::bytes) {
                    text_ = std::make_unique<TextBuffer>(*source_, mark.encoding, "", false);
                    utf16_ = true;
                }
            } else if (!taken.empty()) {
                // No mark after all: the bytes taken are the start of the first token.
                text_ =
                    std::make_unique<TextBuffer>(*source_, Encoding::bytes, taken, byte == kEnd);
            }
            if (!taken.empty()) {
                break;
            }
        }
    } catch (const std::ios_base::failure&) {
        in.setstate(std::ios::badbit);
        return;
    }
    if (text_) {
        in.rdbuf(text_.get());
    }
}

InputText::~InputText() {
    std::streamoff unused = 0;
    if (text_) {
        unused = static_cast<const TextBuffer&>(*text_).unusedSourceBytes();
        const std::ios::iostate state = in_.rdstate();
        in_.rdbuf(source_);
        in_.setstate(state);
    }
    // What the buffer read ahead goes back to the file, as far as seeking it allows: a pipe or a
    // terminal cannot, and the position it gives then is none.
    try {
        const std::streamoff here = source_->pubseekoff(0, std::ios::cur, std::ios::in);
        if (here >= unused) {
            source_->pubseekpos(here - unused, std::ios::in);
        }
    } catch (const std::exception&) {
        // A buffer that throws here has nothing of the input to put back.
    }
}

void readStandardInputAsBytes() {
#ifdef _WIN32
    _setmode(_fileno(stdin), _O_BINARY);
#endif
}
