// Times the program's own reading and printing of numbers, the stages around the sorts: readNumber
// over the text of N random 32-bit numbers (one line, as scripts/random_numbers.sh writes them, or
// one a line), served in pieces as a file's stream buffer serves them, and printVector of N
// numbers into a stream that takes blocks as a file's does. Reports ns per number and bytes a
// second.
#include <benchmark/benchmark.h>

#include <cstddef>
#include <cstdint>
#include <istream>
#include <ostream>
#include <random>
#include <streambuf>
#include <string>
#include <vector>

#include "number_reader.h"
#include "print_vector.h"

namespace {

std::vector<std::int32_t> randomNumbers(std::int64_t n) {
    std::mt19937 random(42);
    std::vector<std::int32_t> values(static_cast<std::size_t>(n));
    for (std::int32_t& value : values) {
        value = static_cast<std::int32_t>(random());
    }
    return values;
}

std::string textOf(const std::vector<std::int32_t>& values, char separator) {
    std::string text;
    for (const std::int32_t value : values) {
        text += std::to_string(value);
        text += separator;
    }
    return text;
}

// Serves a text in pieces of the size a file's stream buffer reads at a time.
class PieceBuffer : public std::streambuf {
  public:
    explicit PieceBuffer(const std::string& text) : text_(text) {}

  protected:
    int_type underflow() override {
        if (served_ == text_.size()) {
            return traits_type::eof();
        }
        const std::size_t length = std::min(kPiece, text_.size() - served_);
        char* start = const_cast<char*>(text_.data()) + served_;
        setg(start, start, start + length);
        served_ += length;
        return traits_type::to_int_type(*start);
    }

  private:
    static constexpr std::size_t kPiece = 8191;  // what libstdc++'s file buffer reads
    const std::string& text_;
    std::size_t served_ = 0;
};

// Takes what is written in blocks, as a file's stream buffer does, and drops it.
class DiscardBuffer : public std::streambuf {
  public:
    DiscardBuffer() { setp(area_, area_ + sizeof area_); }
    std::size_t written = 0;

  protected:
    int_type overflow(int_type c) override {
        sync();
        if (!traits_type::eq_int_type(c, traits_type::eof())) {
            sputc(traits_type::to_char_type(c));
        }
        return traits_type::not_eof(c);
    }
    std::streamsize xsputn(const char* s, std::streamsize n) override {
        sync();
        benchmark::DoNotOptimize(s);
        written += static_cast<std::size_t>(n);
        return n;
    }
    int sync() override {
        written += static_cast<std::size_t>(pptr() - pbase());
        setp(area_, area_ + sizeof area_);
        return 0;
    }

  private:
    char area_[8191];
};

void setCounters(benchmark::State& state, std::size_t bytes) {
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * bytes));
    state.counters["ns_per_number"] = benchmark::Counter(
        static_cast<double>(state.range(0)) * 1e-9,
        benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

void readNumbers(benchmark::State& state, char separator) {
    const std::vector<std::int32_t> values = randomNumbers(state.range(0));
    const std::string text = textOf(values, separator);
    std::int64_t sum = 0;
    for (auto _ : state) {
        PieceBuffer buffer(text);
        std::istream in(&buffer);
        for (std::size_t k = 0; k < values.size(); ++k) {
            sum += readNumber(in).value;
        }
        benchmark::DoNotOptimize(sum);
    }
    std::int64_t expected = 0;
    for (const std::int32_t value : values) {
        expected += value;
    }
    if (sum != expected * static_cast<std::int64_t>(state.iterations())) {
        state.SkipWithError("read other numbers than were written");
    }
    setCounters(state, text.size());
}

void printNumbers(benchmark::State& state) {
    const std::vector<std::int32_t> values = randomNumbers(state.range(0));
    DiscardBuffer buffer;
    std::ostream out(&buffer);
    for (auto _ : state) {
        printVector(values, out);
    }
    const std::size_t line = textOf(values, ' ').size() + 1;
    if (buffer.written != line * static_cast<std::size_t>(state.iterations())) {
        state.SkipWithError("printed another length than the numbers have");
    }
    setCounters(state, line);
}

void sizes(benchmark::internal::Benchmark* benchmark) {
    benchmark->RangeMultiplier(10)->Range(1000, 1000000)->Unit(benchmark::kMicrosecond);
}

BENCHMARK_CAPTURE(readNumbers, oneLine, ' ')->Apply(sizes);
BENCHMARK_CAPTURE(readNumbers, oneALine, '\n')->Apply(sizes);
BENCHMARK(printNumbers)->Apply(sizes);

}  // namespace

BENCHMARK_MAIN();
