#include "print_vector.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <iostream>
#include <limits>
#include <sstream>
#include <string>
#include <vector>

namespace {

struct PrintCase {
    const char* name;
    std::vector<std::int32_t> values;
    const char* expected;
};

void PrintTo(const PrintCase& c, std::ostream* os) {
    *os << c.name;
}

class PrintVectorTable : public ::testing::TestWithParam<PrintCase> {};

// The default destination is standard output, so the test captures std::cout itself.
TEST_P(PrintVectorTable, WritesEveryValueAndASpaceThenEndsTheLine) {
    const std::vector<std::int32_t> before = GetParam().values;
    std::ostringstream captured;
    std::streambuf* original = std::cout.rdbuf(captured.rdbuf());
    printVector(GetParam().values);
    std::cout.rdbuf(original);
    EXPECT_EQ(captured.str(), GetParam().expected);
    EXPECT_EQ(GetParam().values, before);
}

INSTANTIATE_TEST_SUITE_P(Cases, PrintVectorTable,
                         ::testing::Values(PrintCase{"empty", {}, "\n"},
                                           PrintCase{"single", {7}, "7 \n"},
                                           PrintCase{"several", {-1, 0, 4, 4, 7}, "-1 0 4 4 7 \n"},
                                           PrintCase{"extremes",
                                                     {std::numeric_limits<std::int32_t>::min(),
                                                      std::numeric_limits<std::int32_t>::max()},
                                                     "-2147483648 2147483647 \n"}),
                         [](const auto& info) { return std::string(info.param.name); });

// A line longer than the printer's blocks, with numbers of every length, reads as the stream's
// own formatting writes it.
TEST(PrintVector, WritesLongLinesWhole) {
    std::vector<std::int32_t> values;
    std::ostringstream expected;
    for (std::int32_t k = 0; k < 20000; ++k) {
        values.push_back(k % 7 == 0 ? std::numeric_limits<std::int32_t>::min() : k * 104729 - k);
        expected << values.back() << ' ';
    }
    std::ostringstream out;
    printVector(values, out);
    EXPECT_EQ(out.str(), expected.str() + "\n");
}

// A result line must be on the console before the program goes on to wait for a key.
class SyncCountingBuffer : public std::stringbuf {
  public:
    int syncs = 0;

  protected:
    int sync() override {
        ++syncs;
        return std::stringbuf::sync();
    }
};

TEST(PrintVector, FlushesOnceTheLineIsComplete) {
    SyncCountingBuffer sink;
    std::ostream out(&sink);
    printVector({1, 2}, out);
    EXPECT_EQ(sink.str(), "1 2 \n");
    EXPECT_EQ(sink.syncs, 1);
}

}  // namespace
