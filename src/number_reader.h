#pragma once

#include <cstddef>
#include <cstdint>
#include <istream>
#include <string>
#include <string_view>

// What reading one whole-number token found. A token is a run of bytes up to white space or the
// end of the input; a number is an optional sign and decimal digits that fit in 32 bits.
// halfCharacter: UTF-16 input (see input_text.h) that ended in the middle of a character.
enum class TokenKind { number, inputEnded, notANumber, outOfRange, unreadable, halfCharacter };

struct TokenResult {
    TokenKind kind = TokenKind::inputEnded;
    std::int32_t value = 0;  // set for TokenKind::number
    std::string shown;       // for the other kinds with a token: the token, quoted for a terminal
    int lastByte = std::istream::traits_type::eof();  // the last byte taken, if any
    std::size_t bytesTaken = 0;                       // white space and token taken from the stream
};

// Reads the next token from in, leaving the white space after it unread. Takes the bytes in's
// buffer holds in bulk, and flushes the stream tied to in before it asks the source for more, so
// a prompt is out before the program waits. A token whose fate is known (no number, or out of
// range) is read no further than the 40 bytes a message shows and the one that tells it goes on,
// so that input that never ends is answered too. Once in has reached the end of the input it is
// not read again: a terminal would otherwise wait for another end-of-input key. With ctrlZEnds a
// Ctrl-Z byte ends the input there, unread (see InputText::ctrlZEndsInput).
TokenResult readNumber(std::istream& in, bool ctrlZEnds = false);

// The bytes in's buffer holds that no read has taken yet, without asking its source for more.
std::string_view bufferedText(const std::istream& in);

// How many bytes in is known to hold without waiting: those its buffer holds and, where the
// system tells, those its source has ready (the rest of a file, what a pipe holds).
std::streamsize bytesAtHand(const std::istream& in);

// Takes whatever text in already holds, without waiting for more, and returns how many bytes that
// was; lastByte becomes the last of them, if any. For after a reading problem only.
std::streamsize takeDeliveredText(std::istream& in, int& lastByte);

// Puts bytes of untrusted input between double quotes, each byte outside printable ASCII written
// as \xHH and a backslash as \\, so that what is shown reads back one way; "..." marks a token
// that was cut short.
std::string quoteForTerminal(std::string_view bytes, bool cut);
