// Every kernel the processor can run, checked against the textbook loops.
#ifdef __linux__
#include <sys/mman.h>
#include <unistd.h>
#endif

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
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

// Inputs of n elements in the shapes that catch wavefront and boundary faults, as offsets in
// [0, span] from the lowest value of the range a kernel takes.
struct Shape {
    const char* name;
    std::function<std::int64_t(std::int64_t k, std::int64_t n, std::int64_t span, std::mt19937&)>
        offset;
};

const std::vector<Shape>& shapes() {
    static const std::vector<Shape> all = {
        {"random", [](auto, auto, auto span,
                      auto& g) { return static_cast<std::int64_t>(g()) % (span + 1); }},
        {"ascending", [](auto k, auto n, auto span, auto&) { return k * span / n; }},
        {"descending", [](auto k, auto n, auto span, auto&) { return span - k * span / n; }},
        {"allEqual", [](auto, auto, auto span, auto&) { return span / 2; }},
        {"twoValued", [](auto, auto, auto, auto& g) { return static_cast<std::int64_t>(g() % 2); }},
        {"organPipe",
         [](auto k, auto n, auto span, auto&) { return std::min(k, n - k) * span / n; }},
        {"extremes",
         [](auto, auto, auto span, auto& g) {
             const std::int64_t pick[] = {0, span, 1, span - 1, span / 2, span / 2 + 1};
             return pick[g() % 6];
         }},
    };
    return all;
}

// Values that a kernel of laneBits takes: the whole 32-bit range for 32 bits, otherwise a range
// of that width placed by the seed at either end of the 32-bit range or in between, so that a
// narrow kernel's offsets from the minimum are tried where they would overflow.
Values makeInput(const Shape& shape, std::int32_t n, int laneBits, std::mt19937& random) {
    const std::int64_t span = (std::int64_t{1} << laneBits) - 1;
    const std::int64_t lows[] = {kMin, kMax - span, -span / 2, 1000};
    const std::int64_t low = laneBits == 32 ? kMin : lows[random() % 4];
    Values values(static_cast<std::size_t>(n));
    for (std::int32_t k = 0; k < n; ++k) {
        values[static_cast<std::size_t>(k)] =
            static_cast<std::int32_t>(low + shape.offset(k, n, span, random));
    }
    return values;
}

// Proves a sort to be the plain bubble sort from outside: whenever it reports that a[0..length)
// is left, the array must be what the textbook loops leave after n - length passes. Any other
// sort that gets the same result in the end, reporting at the same times, leaves other states.
class TextbookPasses : public SortProgress {
  public:
    TextbookPasses(const Values& sorting, Values input)
        : sorting_(sorting), textbook_(std::move(input)) {}

    void unsortedPrefix(std::int32_t length) override {
        const auto n = static_cast<std::int32_t>(textbook_.size());
        const std::int32_t passes = n - length;
        EXPECT_GT(passes, passes_) << "the report of " << length << " left goes backwards";
        EXPECT_LE(passes - passes_, kMaxSweepPasses) << "reports too far apart";
        for (; passes_ < passes; ++passes_) {
            for (std::int32_t j = 0; j < n - passes_ - 1; ++j) {
                if (textbook_[j] > textbook_[j + 1]) {
                    std::swap(textbook_[j], textbook_[j + 1]);
                }
            }
        }
        if (sorting_ != textbook_ && firstDifference_ < 0) {
            firstDifference_ = passes;
        }
        lastLength_ = length;
    }

    void expectEveryPassTextbook(const std::string& what) const {
        EXPECT_EQ(firstDifference_, -1)
            << what << ": not the textbook state after " << firstDifference_ << " passes";
        if (textbook_.size() >= 2) {
            EXPECT_EQ(lastLength_, 1) << what << ": the reports end before the last pass";
        }
    }

  private:
    const Values& sorting_;
    Values textbook_;
    std::int32_t passes_ = 0;
    std::int32_t firstDifference_ = -1;
    std::int32_t lastLength_ = -1;
};

// Runs sort over the pass-proof inputs of laneBits: a few sizes, around and past the widest
// sweep, in the shapes that move values far.
void expectTextbookPasses(const std::function<void(Values&, SortProgress*)>& sort, int laneBits,
                          const std::string& name) {
    std::mt19937 random(11);
    for (const std::int32_t n : {2, 5, 49, 300, 1000, 2400}) {
        for (const Shape& shape : shapes()) {
            Values values = makeInput(shape, n, laneBits, random);
            TextbookPasses textbook(values, values);
            sort(values, &textbook);
            textbook.expectEveryPassTextbook(name + ", " + std::to_string(laneBits) + " bits, " +
                                             shape.name + ", n = " + std::to_string(n));
        }
    }
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

    Values input(const Shape& shape, std::int32_t n, std::mt19937& random) const {
        return makeInput(shape, n, GetParam().laneBits, random);
    }

    void sort(Values& values, SortProgress* progress = nullptr) const {
        GetParam().sort(values.data(), static_cast<std::int32_t>(values.size()), progress);
    }

    void expectSameAsReference(std::int32_t n, std::uint32_t seed) {
        std::mt19937 random(seed);
        for (const Shape& shape : shapes()) {
            Values expected = input(shape, n, random);
            Values actual = expected;
            bubbleSortReference(expected);
            sort(actual);
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
        Values values = input(shape, 65537, random);
        Values expected = values;
        std::sort(expected.begin(), expected.end());
        sort(values);
        ASSERT_EQ(values, expected) << shape.name;
    }
}

// Elements outside the range given are never touched.
TEST_P(KernelTest, StaysInsideItsRange) {
    std::mt19937 random(3);
    for (const std::int32_t n : {0, 1, 2, 17, 64, 129, 1000}) {
        Values values = input(shapes()[0], n + 2, random);
        values.front() = kMax;
        values.back() = kMin;
        GetParam().sort(values.data() + 1, n, nullptr);
        EXPECT_EQ(values.front(), kMax);
        EXPECT_EQ(values.back(), kMin);
        EXPECT_TRUE(std::is_sorted(values.begin() + 1, values.end() - 1)) << n;
    }
}

// Between groups of passes the array is what the textbook loops leave after as many passes;
// the reports shrink down to a single element, so a progress line moves on and ends at 100%.
TEST_P(KernelTest, IsThePlainBubbleSortPassByPass) {
    expectTextbookPasses([&](Values& values, SortProgress* progress) { sort(values, progress); },
                         GetParam().laneBits, GetParam().name);
}

#ifdef __linux__
// The largest count, 2147483647, up to the first report: a sweep's steps run past the largest
// 32-bit value there. The array is a sparse mapping whose middle is one block of zeros mapped over
// and over; 255 descending values at its start, which every pass moves along, leave nothing but
// zeros below the window. 3 to 10 s a kernel (10 to 200 s under the sanitizers), so on demand only:
// SORTDEMO_LARGEST_COUNT=1.
TEST_P(KernelTest, LargestCountUpToTheFirstReport) {
    if (std::getenv("SORTDEMO_LARGEST_COUNT") == nullptr) {
        GTEST_SKIP() << "set SORTDEMO_LARGEST_COUNT=1 to sort 2147483647 numbers up to a report";
    }
    constexpr std::int32_t n = kMax;
    constexpr std::int32_t planted = 255;  // values 1 .. 255, which 8-bit lanes hold too
    constexpr std::size_t block = std::size_t{1} << 21;
    const std::size_t bytes = sizeof(std::int32_t) * n;
    auto* start = static_cast<char*>(mmap(nullptr, bytes, PROT_READ | PROT_WRITE,
                                          MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0));
    ASSERT_NE(start, MAP_FAILED);
    const int zeros = memfd_create("zeros", 0);
    ASSERT_EQ(ftruncate(zeros, block), 0);
    for (std::size_t at = block; at + 2 * block <= bytes; at += block) {
        ASSERT_NE(mmap(start + at, block, PROT_READ | PROT_WRITE, MAP_SHARED | MAP_FIXED, zeros, 0),
                  MAP_FAILED);
    }
    auto* a = reinterpret_cast<std::int32_t*>(start);
    for (std::int32_t k = 0; k < planted; ++k) {
        a[k] = planted - k;
    }

    struct Stopped {};
    struct FirstReport : SortProgress {
        std::int32_t length = n;
        void unsortedPrefix(std::int32_t left) override {
            length = left;
            throw Stopped{};
        }
    } report;
    try {
        GetParam().sort(a, n, &report);
    } catch (const Stopped&) {
    }
    // After p passes the p largest stand ascending at the top, the rest lower by p places.
    const std::int32_t moved = std::min(n - report.length, planted);
    Values bottom(planted, 0);
    Values top(planted, 0);
    for (std::int32_t k = 0; k < planted; ++k) {
        bottom[k] = k < planted - moved ? planted - moved - k : 0;
        top[k] = k >= planted - moved ? k + 1 : 0;
    }
    EXPECT_EQ(Values(a, a + planted), bottom) << "at the start";
    EXPECT_EQ(Values(a + (n - planted), a + n), top) << "at the end";
    const auto* middle = reinterpret_cast<const std::int32_t*>(start + block);
    EXPECT_TRUE(std::all_of(middle, middle + block / sizeof(std::int32_t),
                            [](std::int32_t v) { return v == 0; }));
    munmap(start, bytes);
    close(zeros);
}
#endif

std::string testName(const ::testing::TestParamInfo<KernelInfo>& info) {
    std::string name = info.param.name;
    std::replace(name.begin(), name.end(), '/', '_');
    return name;
}

INSTANTIATE_TEST_SUITE_P(Kernels, KernelTest, ::testing::ValuesIn(bubbleSortKernels()), testName);

// The same proof through the dispatch, whichever kernel and lane width it picks for the values.
TEST(BubbleSortPasses, IsThePlainBubbleSortPassByPassAtEveryWidth) {
    for (const int laneBits : {8, 16, 32}) {
        expectTextbookPasses(
            [](Values& values, SortProgress* progress) { bubbleSort(values, progress); }, laneBits,
            "bubbleSort");
    }
}

}  // namespace
