#pragma once

#include <istream>
#include <memory>
#include <stdexcept>
#include <streambuf>

// Thrown by a read of UTF-16 input that ends in half a character: one byte of a code unit, or
// the first unit of a surrogate pair.
class HalfCharacter : public std::runtime_error {
  public:
    HalfCharacter() : std::runtime_error("the input ended in half a UTF-16 character") {}
};

// Text saved by Windows editors and shells may start with a byte-order mark: Notepad's "UTF-8
// with BOM", or the UTF-16LE that Windows PowerShell 5.1's > writes. At the very start of the
// input only, a UTF-8 mark is skipped, and after a UTF-16 mark in either byte order in reads the
// text it encodes, as UTF-8, for as long as this object lives. Input that starts any other way
// is read exactly as it would be without it.
// When it ends, where in can seek (a file), it puts in back just after the last byte the reader
// used, so that the next reader of a shared file starts there.
class InputText {
  public:
    // Looks at the first bytes of in, once the stream tied to it has its prompt out. A read that
    // fails leaves in bad.
    explicit InputText(std::istream& in);
    ~InputText();
    InputText(const InputText&) = delete;
    InputText& operator=(const InputText&) = delete;

    // Whether a Ctrl-Z ends the input for the reader: on Windows, in 8-bit text, where the C
    // runtime's text mode ended it (standard input is read in binary mode there, so that UTF-16
    // reaches the decoder unchanged).
    bool ctrlZEndsInput() const { return kCtrlZEndsText && !utf16_; }

#ifdef _WIN32
    static constexpr bool kCtrlZEndsText = true;
#else
    static constexpr bool kCtrlZEndsText = false;
#endif

  private:
    std::istream& in_;
    std::streambuf* source_;
    std::unique_ptr<std::streambuf> text_;  // in's buffer while this lives, when it needs one
    bool utf16_ = false;
};

// Windows: standard input in binary mode, the text mode's rules for 8-bit text being the
// reader's own (InputText::ctrlZEndsInput; a carriage return is white space). Elsewhere nothing.
void readStandardInputAsBytes();
