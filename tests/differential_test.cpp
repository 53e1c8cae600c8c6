// Generated inputs through the built program, each compared with a small model of the input
// rules written apart from the program's reader: the exit status, the whole standard output on
// success, and the kind and place of the error otherwise.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "process_runner.h"

namespace {

struct Expected {
    int status = 0;
    std::string out;    // on success
    std::string error;  // on failure: "count ended", "value 3 found", ...
};

bool isSpace(char c) {
    return c == ' ' || (c >= '\t' && c <= '\r');
}

// "ok" with the value, or "found" or "range".
std::string classify(const std::string& token, long long& value) {
    std::size_t k = (token[0] == '+' || token[0] == '-') ? 1 : 0;
    if (k == token.size() || !std::all_of(token.begin() + static_cast<long>(k), token.end(),
                                          [](char c) { return c >= '0' && c <= '9'; })) {
        return "found";
    }
    std::string digits = token.substr(k);
    digits.erase(0, std::min(digits.find_first_not_of('0'), digits.size() - 1));
    if (digits.size() > 10) {
        return "range";
    }
    value = std::stoll(digits) * (token[0] == '-' ? -1 : 1);
    return (value < -2147483648LL || value > 2147483647LL) ? "range" : "ok";
}

Expected model(const std::string& input) {
    std::vector<std::string> tokens;
    std::string current;
    for (const char c : input + ' ') {
        if (isSpace(c)) {
            if (!current.empty()) {
                tokens.push_back(current);
            }
            current.clear();
        } else {
            current += c;
        }
    }
    Expected expected;
    expected.status = 1;
    long long count = 0;
    if (tokens.empty()) {
        expected.error = "count ended";
        return expected;
    }
    if (const std::string kind = classify(tokens[0], count); kind != "ok") {
        expected.error = "count " + kind;
        return expected;
    }
    std::vector<long long> values;
    for (long long k = 1; k <= count; ++k) {
        long long value = 0;
        const std::string kind = static_cast<std::size_t>(k) < tokens.size()
                                     ? classify(tokens[static_cast<std::size_t>(k)], value)
                                     : "ended";
        if (kind != "ok") {
            expected.error = "value " + std::to_string(k) + " " + kind;
            return expected;
        }
        values.push_back(value);
    }
    std::sort(values.begin(), values.end());
    std::string line;
    for (const long long value : values) {
        line += std::to_string(value) + ' ';
    }
    expected.status = 0;
    expected.out = "Enter how many numbers to sort: Enter " + std::to_string(count) +
                   " numbers:\n\nSorted using Bubble Sort: " + line +
                   "\nSorted using std::sort: " + line + "\n";
    return expected;
}

// The kind and place of the program's error line, in the model's words.
std::string errorKind(const std::string& err) {
    const std::string kind = err.find("the input ended") != std::string::npos ? "ended"
                             : err.find("but found") != std::string::npos     ? "found"
                             : err.find("out of range") != std::string::npos  ? "range"
                                                                              : "?";
    const std::size_t number = err.find("number ");
    if (err.find("how many") != std::string::npos || err.find("the count") != std::string::npos) {
        return "count " + kind;
    }
    if (number == std::string::npos) {
        return "? " + kind;
    }
    return "value " + std::to_string(std::stoll(err.substr(number + 7))) + " " + kind;
}

std::string generate(std::mt19937& random) {
    const std::vector<std::string> spaces = {" ", "\n", "\t", "\r\n", "\v", "\f", "  \n "};
    const std::vector<std::string> junk = {"abc",  "3.5", "1,2",  "5abc",    "-",
                                           "+",    "--1", "0x1f", "\x1b[0m", std::string("\0", 1),
                                           "\xff", "1e3"};
    const auto pick = [&](const auto& list) { return list[random() % list.size()]; };
    const auto number = [&]() -> std::string {
        switch (random() % 8) {
            case 0:
                return "2147483647";
            case 1:
                return "-2147483648";
            case 2:
                return "2147483648";
            case 3:
                return "-2147483649";
            case 4:
                return "000" + std::to_string(random() % 100);
            case 5:
                return "+" + std::to_string(random() % 1000);
            case 6:
                return std::to_string(static_cast<std::int32_t>(random()));
            default:
                return std::to_string(static_cast<int>(random() % 21) - 10);
        }
    };
    std::string input = pick(std::vector<std::string>{"", " ", "\n"});
    const int count = static_cast<int>(random() % 40) - 3;
    input += random() % 20 == 0 ? pick(junk) : std::to_string(count);
    const int given = std::max(0, count + static_cast<int>(random() % 5) - 2);
    for (int k = 0; k < given; ++k) {
        input += pick(spaces);
        input += random() % 40 == 0 ? pick(junk) : number();
    }
    if (random() % 10 == 0 && !input.empty()) {
        input.resize(random() % input.size());  // cut off anywhere
    }
    return input;
}

TEST(Differential, ProgramAgreesWithTheModel) {
    std::mt19937 random(2026);
    const int cases = programIsEmulated() ? 200 : 2000;
    for (int k = 0; k < cases; ++k) {
        const std::string input = generate(random);
        const Expected expected = model(input);
        const ProcessResult result = runProcess(programCommand(), input);
        ASSERT_EQ(result.exitCode, expected.status) << "input: " << ::testing::PrintToString(input);
        if (expected.status == 0) {
            ASSERT_EQ(result.out, expected.out) << ::testing::PrintToString(input);
            ASSERT_EQ(result.err, "");
        } else {
            ASSERT_EQ(errorKind(result.err), expected.error) << ::testing::PrintToString(input);
            ASSERT_EQ(std::count(result.err.begin(), result.err.end(), '\n'), 1);
            ASSERT_EQ(result.out.find("Sorted using"), std::string::npos);
        }
    }
}

}  // namespace
