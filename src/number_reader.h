#pragma once

#include <cstdint>
#include <istream>
#include <string>
#include <string_view>

// What reading one whole-number token found. A token is a run of bytes up to white space or the
// end of the input; a number is an optional sign and decimal digits that fit in 32 bits.
enum class TokenKind { number, inputEnded, notANumber, outOfRange };

struct TokenResult {
    TokenKind kind = TokenKind::inputEnded;
    std::int32_t value = 0;  // set for TokenKind::number
    std::string shown;       // for the other kinds with a token: the token, quoted for a terminal
};

// Reads the next token from in, leaving the white space after it unread. Flushes the stream tied
// to in first, so a prompt is out before the program waits.
TokenResult readNumber(std::istream& in);

// Puts bytes of untrusted input between double quotes, each byte outside printable ASCII written
// as \xHH; "..." marks a token that was cut short.
std::string quoteForTerminal(std::string_view bytes, bool cut);
