// Every kernel the processor can run, checked against the textbook loops.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <functional>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "bubble_sort/bubble_sort.h"
#include "bubble_sort/kernels.h"

namespace {

using Values = std::vector<std::int32_t>;
constexpr std::int32_t kMin = std::numeric_limits<std::int32_t>::min();
constexpr std::int32_t kMax = std::numeric_limits<std::int32_t>::max();

// Inputs of n elements in the shapes that catch wavefront and boundary faults.
struct Shape {
    const char* name;
    std::function<std::int32_t(std::int32_t index, std::int32_t n, std::mt19937& random)> value;
};

const std::vector<Shape>& shapes() {
    static const std::vector<Shape> all = {
        {"random", [](auto, auto, auto& g) { return static_cast<std::int32_t>(g()); }},
        {"ascending", [](auto k, auto, auto&) { return k; }},
        {"descending", [](auto k, auto n, auto&) { return n - k; }},
        {"allEqual", [](auto, auto, auto&) { return 7; }},
        {"twoValued", [](auto, auto, auto& g) { return static_cast<std::int32_t>(g() % 2); }},
        {"organPipe", [](auto k, auto n, auto&) { return k < n / 2 ? k : n - k; }},
        {"extremes",
         [](auto, auto, auto& g) {
             const std::int32_t pick[] = {kMin, kMax, kMin + 1, kMax - 1, 0, -1};
             return pick[g() % 6];
         }},
    };
    return all;
}

Values makeInput(const Shape& shape, std::int32_t n, std::mt19937& random) {
    Values values(static_cast<std::size_t>(n));
    for (std::int32_t k = 0; k < n; ++k) {
        values[static_cast<std::size_t>(k)] = shape.value(k, n, random);
    }
    return values;
}

}  // namespace

void PrintTo(const KernelInfo& kernel, std::ostream* os) {
    *os << kernel.name;
}

namespace {

class KernelTest : public ::testing::TestWithParam<KernelInfo> {
  protected:
    void SetUp() override {
        if (!GetParam().supported) {
            GTEST_SKIP() << "this processor cannot run the " << GetParam().name << " kernel";
        }
    }

    void expectSameAsReference(std::int32_t n, std::uint32_t seed) {
        std::mt19937 random(seed);
        for (const Shape& shape : shapes()) {
            Values expected = makeInput(shape, n, random);
            Values actual = expected;
            bubbleSortReference(expected);
            GetParam().sort(actual.data(), n, nullptr);
            ASSERT_EQ(actual, expected) << shape.name << ", n = " << n;
        }
    }
};

TEST_P(KernelTest, EverySizeUpTo300) {
    for (std::int32_t n = 0; n <= 300; ++n) {
        expectSameAsReference(n, static_cast<std::uint32_t>(n));
    }
}

TEST_P(KernelTest, LargeOddSizes) {
    for (const std::int32_t n : {1025, 4097}) {
        expectSameAsReference(n, 99);
    }
}

// The reference takes seconds here, so this size is checked against the standard sort, which
// gives the same order for integers; three shapes keep the scalar kernel's share short.
TEST_P(KernelTest, SixtyFiveThousandAndOne) {
    std::mt19937 random(7);
    for (const Shape& shape : shapes()) {
        if (std::string(shape.name) != "random" && std::string(shape.name) != "descending" &&
            std::string(shape.name) != "extremes") {
            continue;
        }
        Values values = makeInput(shape, 65537, random);
        Values expected = values;
        std::sort(expected.begin(), expected.end());
        GetParam().sort(values.data(), 65537, nullptr);
        ASSERT_EQ(values, expected) << shape.name;
    }
}

// Elements outside the range given are never touched.
TEST_P(KernelTest, StaysInsideItsRange) {
    std::mt19937 random(3);
    for (const std::int32_t n : {0, 1, 2, 17, 64, 129, 1000}) {
        Values values(static_cast<std::size_t>(n) + 2);
        std::generate(values.begin(), values.end(),
                      [&] { return static_cast<std::int32_t>(random()); });
        values.front() = kMax;
        values.back() = kMin;
        GetParam().sort(values.data() + 1, n, nullptr);
        EXPECT_EQ(values.front(), kMax);
        EXPECT_EQ(values.back(), kMin);
        EXPECT_TRUE(std::is_sorted(values.begin() + 1, values.end() - 1)) << n;
    }
}

// What is left shrinks from report to report down to a single element, so a progress line
// moves on and ends at 100%.
class RecordedProgress : public SortProgress {
  public:
    std::vector<std::int32_t> lengths;
    void unsortedPrefix(std::int32_t length) override { lengths.push_back(length); }
};

TEST_P(KernelTest, ReportsProgressDownToTheEnd) {
    std::mt19937 random(5);
    for (const std::int32_t n : {2, 100, 1000, 5000}) {
        Values values = makeInput(shapes()[0], n, random);
        RecordedProgress progress;
        GetParam().sort(values.data(), n, &progress);
        ASSERT_FALSE(progress.lengths.empty()) << n;
        EXPECT_TRUE(std::is_sorted(progress.lengths.rbegin(), progress.lengths.rend()) &&
                    std::adjacent_find(progress.lengths.begin(), progress.lengths.end()) ==
                        progress.lengths.end())
            << n;
        EXPECT_EQ(progress.lengths.back(), 1) << n;
        EXPECT_TRUE(std::is_sorted(values.begin(), values.end())) << n;
    }
}

INSTANTIATE_TEST_SUITE_P(Kernels, KernelTest, ::testing::ValuesIn(bubbleSortKernels()),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
