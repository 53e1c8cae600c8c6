// Coverage-guided fuzzing of the whole dialogue: input bytes in, through the reading of the count
// and the values (UTF-16 after a byte-order mark), both sorts and the printing. Besides the
// sanitizers' checks, every run must keep the program's rules: on success both result lines are
// the input's first count values in ascending order; on failure exactly one "error: " line and
// no result line; and the same input served in small pieces gives the same run.
#include <algorithm>
#include <charconv>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <sstream>
#include <streambuf>
#include <string>
#include <string_view>
#include <vector>

#include "dialogue.h"

namespace {

// The input's white-space separated tokens, read independently of the program's reader.
std::vector<std::string_view> tokens(std::string_view text) {
    std::vector<std::string_view> found;
    std::size_t k = 0;
    const auto isSpace = [](char c) { return c == ' ' || (c >= '\t' && c <= '\r'); };
    while (k < text.size()) {
        while (k < text.size() && isSpace(text[k])) {
            ++k;
        }
        const std::size_t start = k;
        while (k < text.size() && !isSpace(text[k])) {
            ++k;
        }
        if (k > start) {
            found.push_back(text.substr(start, k - start));
        }
    }
    return found;
}

// The text the input stands for: without a UTF-8 byte-order mark at its start, and after a
// UTF-16 one, each unit as its character when it is ASCII and as 0x80 otherwise (no white space,
// no digit); an odd last byte is dropped. Written apart from the program's decoder.
std::string asText(std::string_view input) {
    if (input.substr(0, 3) == "\xef\xbb\xbf") {
        return std::string(input.substr(3));
    }
    const bool little = input.substr(0, 2) == "\xff\xfe";
    if (!little && input.substr(0, 2) != "\xfe\xff") {
        return std::string(input);
    }
    std::string text;
    for (std::size_t k = 2; k + 1 < input.size(); k += 2) {
        const auto high = static_cast<unsigned char>(input[little ? k + 1 : k]);
        const auto low = static_cast<unsigned char>(input[little ? k : k + 1]);
        text.push_back(high == 0 && low < 0x80 ? static_cast<char>(low) : '\x80');
    }
    return text;
}

std::int64_t parse(std::string_view token) {
    if (!token.empty() && token[0] == '+') {
        token.remove_prefix(1);
    }
    std::int64_t value = 0;
    std::from_chars(token.data(), token.data() + token.size(), value);
    return value;
}

// Serves a text in pieces of a given size, as a pipe does, so that tokens and white space meet
// the reader's refills at every place.
class PieceBuffer : public std::streambuf {
  public:
    PieceBuffer(std::string text, std::size_t piece) : text_(std::move(text)), piece_(piece) {}

  protected:
    int_type underflow() override {
        if (served_ == text_.size()) {
            return traits_type::eof();
        }
        const std::size_t length = std::min(piece_, text_.size() - served_);
        char* start = text_.data() + served_;
        setg(start, start, start + length);
        served_ += length;
        return traits_type::to_int_type(*start);
    }

  private:
    std::string text_;
    std::size_t piece_;
    std::size_t served_ = 0;
};

void require(bool condition) {
    if (!condition) {
        std::abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    std::istringstream in(text);
    std::ostringstream out;
    std::ostringstream err;
    const int status = runSortDialogue(in, out, err);
    const std::string output = out.str();
    const std::string errors = err.str();

    // The same bytes in pieces (1 to 16 bytes, as the input's length picks) give the same run.
    PieceBuffer pieces(text, 1 + size % 16);
    std::istream piecesIn(&pieces);
    std::ostringstream piecesOut;
    std::ostringstream piecesErr;
    require(runSortDialogue(piecesIn, piecesOut, piecesErr) == status);
    require(piecesOut.str() == output && piecesErr.str() == errors);
    const std::string bubbleLabel = "\nSorted using Bubble Sort: ";
    const std::string stdLabel = "Sorted using std::sort: ";

    if (status == 1) {
        require(errors.rfind("error: ", 0) == 0);
        require(std::count(errors.begin(), errors.end(), '\n') == 1 && errors.back() == '\n');
        require(output.find("Sorted using") == std::string::npos);
        return 0;
    }
    require(status == 0 && errors.empty());

    const std::string decoded = asText(text);
    const std::vector<std::string_view> words = tokens(decoded);
    require(!words.empty());
    const std::int64_t count = std::max<std::int64_t>(parse(words[0]), 0);
    require(static_cast<std::int64_t>(words.size()) >= count + 1);
    std::vector<std::int64_t> expected;
    for (std::int64_t k = 1; k <= count; ++k) {
        expected.push_back(parse(words[static_cast<std::size_t>(k)]));
    }
    std::sort(expected.begin(), expected.end());
    std::string line;
    for (const std::int64_t value : expected) {
        line += std::to_string(value) + " ";
    }
    const std::string tail = bubbleLabel + line + "\n" + stdLabel + line + "\n";
    require(output.size() >= tail.size() &&
            output.compare(output.size() - tail.size(), tail.size(), tail) == 0);
    return 0;
}
