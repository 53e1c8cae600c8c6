#include "dialogue.h"

#include <algorithm>
#include <cstdint>
#include <new>
#include <string>
#include <vector>

#include "bubble_sort.h"
#include "number_reader.h"
#include "print_vector.h"

namespace {

constexpr const char* kRange = " is out of range (-2147483648 to 2147483647)";

int fail(std::ostream& err, const std::string& message) {
    err << "error: " << message << '\n' << std::flush;
    return 1;
}

std::string countProblem(const TokenResult& count) {
    const std::string expected = "expected how many numbers to sort, but ";
    switch (count.kind) {
        case TokenKind::inputEnded:
            return expected + "the input ended";
        case TokenKind::notANumber:
            return expected + "found " + count.shown;
        default:
            return "the count " + count.shown + kRange;
    }
}

std::string valueProblem(const TokenResult& value, std::int32_t position, std::int32_t size) {
    const std::string ofSize = std::to_string(position) + " of " + std::to_string(size);
    switch (value.kind) {
        case TokenKind::inputEnded:
            return "expected number " + ofSize + ", but the input ended";
        case TokenKind::notANumber:
            return "expected number " + ofSize + ", but found " + value.shown;
        default:
            return "number " + ofSize + ", " + value.shown + "," + kRange;
    }
}

}  // namespace

int runSortDialogue(std::istream& in, std::ostream& out, std::ostream& err) {
    out << "Enter how many numbers to sort: ";
    const TokenResult count = readNumber(in);
    if (count.kind != TokenKind::number) {
        return fail(err, countProblem(count));
    }
    const std::int32_t size = count.value;

    // The count is untrusted: nothing is reserved up front, the sequence grows as values arrive.
    try {
        std::vector<std::int32_t> numbers;
        out << "Enter " << size << " numbers:\n";
        std::int32_t input = 0;
        for (std::int32_t counter = 0; counter < size; ++counter) {
            const TokenResult value = readNumber(in);
            if (value.kind != TokenKind::number) {
                return fail(err, valueProblem(value, counter + 1, size));
            }
            input = value.value;
            numbers.push_back(input);
        }

        std::vector<std::int32_t> bubbleSorted = numbers;
        std::vector<std::int32_t> stdSorted = numbers;
        bubbleSort(bubbleSorted);
        std::sort(stdSorted.begin(), stdSorted.end());

        out << "\nSorted using Bubble Sort: ";
        printVector(bubbleSorted, out);
        out << "Sorted using std::sort: ";
        printVector(stdSorted, out);
    } catch (const std::bad_alloc&) {
        return fail(err, "not enough memory for " + std::to_string(size) + " numbers");
    }

    if (!out) {
        return fail(err, "could not write the results");
    }
    return 0;
}
