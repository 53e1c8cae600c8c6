// Runs the built program with given standard input and checks standard output byte for byte,
// the error line and the exit status, natively or under an emulator (qemu for the ARM program).
// For the Windows program under Wine line ends are CRLF and Wine may add its own lines on
// standard error; those differences are normalised away. With no console there is no pause, so
// standard output holds the dialogue alone on Windows too.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <string_view>
#include <vector>

#include "process_runner.h"

namespace {

const std::string kAskCount = "Enter how many numbers to sort: ";

std::string askValues(const std::string& count) {
    return kAskCount + "Enter " + count + " numbers:\n";
}

// The whole dialogue of a run that read every number, with the sorted line given.
std::string sorted(const std::string& count, const std::string& line) {
    return askValues(count) + "\nSorted using Bubble Sort: " + line +
           "\nSorted using std::sort: " + line + "\n";
}

struct DialogueCase {
    const char* name;
    std::string input;
    std::string out;
    std::string err;  // the one error line, without its line end; empty for none
    int exitCode;
    std::string windowsErr = "";  // where the Windows program's differs (its runtime's text mode)
};

void PrintTo(const DialogueCase& c, std::ostream* os) {
    *os << c.name;
}

std::string withoutCarriageReturns(std::string text) {
    std::string plain;
    for (std::size_t k = 0; k < text.size(); ++k) {
        if (!(text[k] == '\r' && k + 1 < text.size() && text[k + 1] == '\n')) {
            plain.push_back(text[k]);
        }
    }
    return plain;
}

// Standard error's lines that our program wrote.
std::string ourErrorLines(const std::string& err) {
    std::string ours;
    std::size_t start = 0;
    while (start < err.size()) {
        std::size_t end = err.find('\n', start);
        end = end == std::string::npos ? err.size() : end + 1;
        if (err.compare(start, 7, "error: ") == 0) {
            ours += err.substr(start, end - start);
        }
        start = end;
    }
    return ours;
}

void expectRun(const ProcessResult& result, const std::string& out, const std::string& err,
               int exitCode) {
    ASSERT_FALSE(result.timedOut);
    EXPECT_EQ(result.signal, 0);
    EXPECT_EQ(result.exitCode, exitCode);
    const std::string expectedErr = err.empty() ? "" : err + "\n";
    if (programIsWindows()) {
        EXPECT_EQ(withoutCarriageReturns(result.out), out);
        EXPECT_EQ(ourErrorLines(withoutCarriageReturns(result.err)), expectedErr);
    } else {
        EXPECT_EQ(result.out, out);
        EXPECT_EQ(result.err, expectedErr);
    }
}

// The program run by a shell script, which names it "$@" and its first argument $0.
std::vector<std::string> inShell(const std::string& script, const std::string& first = "sh") {
    std::vector<std::string> command = {"/bin/sh", "-c", script, first};
    const std::vector<std::string> program = programCommand();
    command.insert(command.end(), program.begin(), program.end());
    return command;
}

class DialogueTable : public ::testing::TestWithParam<DialogueCase> {};

TEST_P(DialogueTable, WritesExactlyThisAndExits) {
    const DialogueCase& c = GetParam();
    const bool differs = programIsWindows() && !c.windowsErr.empty();
    expectRun(runProcess(programCommand(), c.input), c.out, differs ? c.windowsErr : c.err,
              c.exitCode);
}

const std::string kRange = " is out of range (-2147483648 to 2147483647)";

// The numbers from first to last, each followed by a space: with 600 of them, the row below runs
// a vector kernel on every processor that has one.
std::string numbers(int first, int last) {
    std::string text;
    for (int k = first;; k += first < last ? 1 : -1) {
        text += std::to_string(k) + " ";
        if (k == last) {
            return text;
        }
    }
}

// Notepad's "UTF-8 with BOM" starts a file with this mark.
const std::string kUtf8Mark = "\xef\xbb\xbf";

// Text as Windows PowerShell 5.1 writes it: a UTF-16 byte-order mark, then two bytes a unit.
std::string utf16(std::u16string_view text, bool bigEndian = false) {
    std::string bytes;
    const auto put = [&bytes, bigEndian](char16_t unit) {
        const char high = static_cast<char>(unit >> 8);
        const char low = static_cast<char>(unit & 0xff);
        bytes.push_back(bigEndian ? high : low);
        bytes.push_back(bigEndian ? low : high);
    };
    put(u'\ufeff');
    for (const char16_t unit : text) {
        put(unit);
    }
    return bytes;
}

std::string repeated(const std::string& text, int times) {
    std::string all;
    for (int k = 0; k < times; ++k) {
        all += text;
    }
    return all;
}

const std::string zeros40 = repeated("\\x00", 40);

INSTANTIATE_TEST_SUITE_P(
    Runs, DialogueTable,
    ::testing::Values(
        DialogueCase{"typical", "5\n4 -1 7 4 0\n", sorted("5", "-1 0 4 4 7 "), "", 0},
        DialogueCase{"countZero", "0\n", sorted("0", ""), "", 0},
        DialogueCase{"countNegative", "-3\n", sorted("-3", ""), "", 0},
        DialogueCase{"countMinusZero", "-0", sorted("0", ""), "", 0},
        DialogueCase{"smallestCount", "-2147483648", sorted("-2147483648", ""), "", 0},
        DialogueCase{"single", "1\n42\n", sorted("1", "42 "), "", 0},
        DialogueCase{"allOnOneLine", "3 9 8 7\n", sorted("3", "7 8 9 "), "", 0},
        DialogueCase{"extraValuesUnread", "2\n3 1 x\n", sorted("2", "1 3 "), "", 0},
        DialogueCase{"noLineEndAtTheEnd", "2\n5 -5", sorted("2", "-5 5 "), "", 0},
        DialogueCase{"duplicatesAndExtremes", "7 2147483647 0 -2147483648 -1 0 2147483647 5",
                     sorted("7", "-2147483648 -1 0 0 5 2147483647 2147483647 "), "", 0},
        DialogueCase{"everyWhiteSpace", "\t3\r\n\v1\f 2 \n 0", sorted("3", "0 1 2 "), "", 0},
        DialogueCase{"signsAndLeadingZeros", "+003 -007 +0 0010", sorted("3", "-7 0 10 "), "", 0},
        DialogueCase{"vectorKernel", "600\n" + numbers(600, 1), sorted("600", numbers(1, 600)), "",
                     0},
        DialogueCase{"utf8Mark", kUtf8Mark + "3\r\n9 -8 7\r\n", sorted("3", "-8 7 9 "), "", 0},
        DialogueCase{"utf16", utf16(u"3\r\n9 -8 7\r\n"), sorted("3", "-8 7 9 "), "", 0},
        DialogueCase{"utf16BigEndian", utf16(u"3\r\n9 -8 7\r\n", true), sorted("3", "-8 7 9 "), "",
                     0},

        DialogueCase{"noInput", "", kAskCount,
                     "error: expected how many numbers to sort, but the input ended", 1},
        DialogueCase{"onlyWhiteSpace", " \n\t\n", kAskCount,
                     "error: expected how many numbers to sort, but the input ended", 1},
        DialogueCase{"countIsAWord", "abc\n", kAskCount,
                     "error: expected how many numbers to sort, but found \"abc\"", 1},
        DialogueCase{"countIsDecimal", "2.0 1 2", kAskCount,
                     "error: expected how many numbers to sort, but found \"2.0\"", 1},
        DialogueCase{"countTooLarge", "99999999999\n", kAskCount,
                     "error: the count \"99999999999\"" + kRange, 1},
        DialogueCase{"countJustTooLarge", "2147483648 1", kAskCount,
                     "error: the count \"2147483648\"" + kRange, 1},
        DialogueCase{"countJustTooSmall", "-2147483649", kAskCount,
                     "error: the count \"-2147483649\"" + kRange, 1},
        DialogueCase{"valuesEnded", "5\n1 2 3\n", askValues("5"),
                     "error: expected number 4 of 5, but the input ended", 1},
        DialogueCase{"hugeCountFewValues", "2147483647 1 2 3", askValues("2147483647"),
                     "error: expected number 4 of 2147483647, but the input ended", 1},
        DialogueCase{"valueIsDecimal", "5\n1 2 3 3.5 4\n", askValues("5"),
                     "error: expected number 4 of 5, but found \"3.5\"", 1},
        DialogueCase{"valueWithComma", "2 1,2", askValues("2"),
                     "error: expected number 1 of 2, but found \"1,2\"", 1},
        DialogueCase{"valueWithLetters", "2 5abc 1", askValues("2"),
                     "error: expected number 1 of 2, but found \"5abc\"", 1},
        DialogueCase{"loneMinus", "2 1 -", askValues("2"),
                     "error: expected number 2 of 2, but found \"-\"", 1},
        DialogueCase{"valueTooLarge", "5\n1 2 3 99999999999 4", askValues("5"),
                     "error: number 4 of 5, \"99999999999\"," + kRange, 1},
        DialogueCase{"valueTooSmall", "1 -2147483649", askValues("1"),
                     "error: number 1 of 1, \"-2147483649\"," + kRange, 1},
        DialogueCase{"longTokenCut", "1 " + std::string(41, 'x'), askValues("1"),
                     "error: expected number 1 of 1, but found \"" + std::string(40, 'x') + "...\"",
                     1},
        DialogueCase{"controlBytesEscaped", "1 \x1b]0;owned\x07\xc3\xa9", askValues("1"),
                     "error: expected number 1 of 1, but found \"\\x1b]0;owned\\x07\\xc3\\xa9\"",
                     1},
        DialogueCase{"nulByte", std::string("2 1\0 2", 6), askValues("2"),
                     "error: expected number 1 of 2, but found \"1\\x00\"", 1},
        DialogueCase{"backslash", "1 \\x1b", askValues("1"),
                     "error: expected number 1 of 1, but found \"\\\\x1b\"", 1},
        DialogueCase{"markInTheMiddle", "2 1 " + kUtf8Mark + "2", askValues("2"),
                     "error: expected number 2 of 2, but found \"\\xef\\xbb\\xbf2\"", 1},
        DialogueCase{"almostAMark", kUtf8Mark.substr(0, 2) + "\xbe" + "3 1 2 3", kAskCount,
                     "error: expected how many numbers to sort, but found \"\\xef\\xbb\\xbe3\"", 1},
        DialogueCase{"utf16OutsideAscii", utf16(u"2 1 \u00e9\U0001F600\xd800x"), askValues("2"),
                     "error: expected number 2 of 2, but found "
                     "\"\\xc3\\xa9\\xf0\\x9f\\x98\\x80\\xed\\xa0\\x80x\"",
                     1},
        DialogueCase{
            "utf16HalfCharacter", utf16(u"2 1 ") + "7", askValues("2"),
            "error: expected number 2 of 2, but the input ended in half a UTF-16 character", 1},
        DialogueCase{"ctrlZ", "2 1\x1a 2", askValues("2"),
                     "error: expected number 1 of 2, but found \"1\\x1a\"", 1,
                     "error: expected number 2 of 2, but the input ended"},
        DialogueCase{"ctrlZAtALineStart", "2 1\r\n\x1a\r\n2", askValues("2"),
                     "error: expected number 2 of 2, but found \"\\x1a\"", 1,
                     "error: expected number 2 of 2, but the input ended"},
        // UTF-16 reaches the decoder as it is, on Windows too: its bytes 1a, 0d and 0a are halves
        // of characters (U+011A, U+0A0D, U+1A0D; U+001A is no Ctrl-Z there either).
        DialogueCase{"utf16ByteLikeCtrlZ", utf16(u"2\r\n7 4\u011a2\r\n"), askValues("2"),
                     "error: expected number 2 of 2, but found \"4\\xc4\\x9a2\"", 1},
        DialogueCase{"utf16BytesLikeLineEnds", utf16(u"2\r\n7 4\u0a0d\u1a0d2"), askValues("2"),
                     "error: expected number 2 of 2, but found "
                     "\"4\\xe0\\xa8\\x8d\\xe1\\xa8\\x8d2\"",
                     1},
        DialogueCase{"utf16CtrlZ", utf16(u"2 1 \u001a"), askValues("2"),
                     "error: expected number 2 of 2, but found \"\\x1a\"", 1},
        // A token that goes on is judged once its fate is known, however long it is.
        DialogueCase{"longZeroBytes", std::string(1 << 20, '\0'), kAskCount,
                     "error: expected how many numbers to sort, but found \"" + zeros40 + "...\"",
                     1},
        DialogueCase{"longDigits", "1 " + std::string(1 << 20, '9'), askValues("1"),
                     "error: number 1 of 1, \"" + std::string(40, '9') + "...\"," + kRange, 1}),
    [](const auto& info) { return std::string(info.param.name); });

// Input that never ends is answered at once, with the line a long token gets.
TEST(Dialogue, AnswersInputThatNeverEnds) {
    const std::string zeros = "\"" + zeros40 + "...\"";
    for (const auto& [shell, err] :
         {std::pair{"exec \"$@\" </dev/zero",
                    "error: expected how many numbers to sort, but found " + zeros},
          std::pair{"(printf '2\\n'; cat /dev/zero) | \"$@\"",
                    "error: expected number 1 of 2, but found " + zeros}}) {
        const ProcessResult result = runProcess(inShell(shell), "", "", 20);
        ASSERT_FALSE(result.timedOut) << shell;
        EXPECT_EQ(result.exitCode, 1);
        EXPECT_EQ(ourErrorLines(withoutCarriageReturns(result.err)), err + "\n");
    }
}

// From a file, the program leaves what it did not use for the next reader of the same file.
struct RestCase {
    const char* name;
    std::string file;
    std::string rest;  // what cat reads after the program
};

class LeftForTheNextReader : public ::testing::TestWithParam<RestCase> {};

TEST_P(LeftForTheNextReader, StartsJustAfterTheLastByteUsed) {
    char path[] = "/tmp/sortdemo-rest-XXXXXX";
    const int file = mkstemp(path);
    ASSERT_GE(file, 0);
    ASSERT_EQ(write(file, GetParam().file.data(), GetParam().file.size()),
              static_cast<ssize_t>(GetParam().file.size()));
    close(file);
    const ProcessResult result =
        runProcess(inShell("{ \"$@\" >/dev/null 2>&1; cat; } <\"$0\"", path), "");
    std::remove(path);
    EXPECT_EQ(result.out, GetParam().rest);
}

INSTANTIATE_TEST_SUITE_P(
    Files, LeftForTheNextReader,
    ::testing::Values(
        RestCase{"afterTheLastValue", "2 3 1\nrest of the file\n", "\nrest of the file\n"},
        RestCase{"afterALongFile", "2 3 1 " + repeated("4 ", 10000), " " + repeated("4 ", 10000)},
        RestCase{"afterTheWrongToken", "2 3 x y", " y"},
        RestCase{"afterTheShownBytesOfALongToken", "1 " + std::string(100, 'x'),
                 std::string(59, 'x')},
        RestCase{"afterTheLastUtf16Value", utf16(u"2 3 1\nrest"), utf16(u"\nrest").substr(2)},
        RestCase{"afterACharacterCutInAMessage",
                 utf16(u"1 " + std::u16string(40, u'x') + u"\u00e9rest"), utf16(u"rest").substr(2)},
        RestCase{"afterAnAlmostMark",
                 "\xef\xbb\xbe"
                 "3 1 2 3",
                 " 1 2 3"},
        RestCase{"nothingAfterTheEnd", "2 3 1", ""}),
    [](const auto& info) { return std::string(info.param.name); });

// The command line is answered at once: nothing is read (no prompt) and nothing waits.
struct CommandLineCase {
    const char* name;
    std::vector<std::string> arguments;
    std::string outStart;  // the first line of standard output, or nothing at all
    std::string err;
    int exitCode;
    bool helpOnWindows = false;  // the Windows program takes it for --help
};

void PrintTo(const CommandLineCase& c, std::ostream* os) {
    *os << c.name;
}

class CommandLineTable : public ::testing::TestWithParam<CommandLineCase> {};

const std::string kUsage = "Usage: sortdemo [--help | --version]\n";

TEST_P(CommandLineTable, AnswersWithoutReading) {
    CommandLineCase c = GetParam();
    if (c.helpOnWindows && programIsWindows()) {
        c = {c.name, c.arguments, kUsage, "", 0};
    }
    std::vector<std::string> command = programCommand();
    command.insert(command.end(), c.arguments.begin(), c.arguments.end());
    ProcessResult result = runProcess(command, "2 3 1\n");
    result.out = withoutCarriageReturns(result.out);
    const std::string firstLine = result.out.substr(0, result.out.find('\n') + 1);
    expectRun(result, c.outStart.empty() ? "" : result.out, c.err, c.exitCode);
    EXPECT_EQ(firstLine, c.outStart);
    EXPECT_EQ(result.out.find("Enter"), std::string::npos);
}

std::string unexpected(const std::string& argument) {
    return "error: unexpected argument \"" + argument +
           "\" (sortdemo reads the numbers from standard input, as in: sortdemo < numbers.txt)";
}

INSTANTIATE_TEST_SUITE_P(
    Arguments, CommandLineTable,
    ::testing::Values(
        CommandLineCase{"help", {"--help"}, kUsage, "", 0},
        CommandLineCase{"version", {"--version"}, "sortdemo " SORTDEMO_VERSION "\n", "", 0},
        CommandLineCase{"fileName", {"numbers.txt"}, "", unexpected("numbers.txt"), 2},
        CommandLineCase{"twoOptions", {"--help", "--version"}, "", unexpected("--version"), 2},
        CommandLineCase{
            "controlBytes", {"\x1b]0;owned\x07"}, "", unexpected("\\x1b]0;owned\\x07"), 2},
        // Windows programs take /? for help; elsewhere it is a file name like any other.
        CommandLineCase{"windowsHelp", {"/?"}, "", unexpected("/?"), 2, true}),
    [](const auto& info) { return std::string(info.param.name); });

// Results that cannot be written are a failure, not a success.
TEST(Dialogue, ReportsResultsThatCouldNotBeWritten) {
    const ProcessResult result = runProcess(programCommand(), "3 1 2 3\n", "/dev/full");
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_EQ(ourErrorLines(withoutCarriageReturns(result.err)),
              "error: could not write the results\n");
}

// A file holds the dialogue alone, and nothing waits for a key: standard input or standard output
// a file, the other a pipe.
TEST(Dialogue, FilesHoldTheDialogueAlone) {
    char inputPath[] = "/tmp/sortdemo-input-XXXXXX";
    char outputPath[] = "/tmp/sortdemo-output-XXXXXX";
    close(mkstemp(inputPath));
    close(mkstemp(outputPath));
    std::ofstream(inputPath) << "2\n3 1\n";
    expectRun(runProcess(inShell("exec \"$@\" <\"$0\"", inputPath), ""), sorted("2", "1 3 "), "",
              0);
    expectRun(runProcess(programCommand(), "2\n3 1\n", outputPath), "", "", 0);
    std::ifstream written(outputPath);
    EXPECT_EQ(withoutCarriageReturns(std::string(std::istreambuf_iterator<char>(written), {})),
              sorted("2", "1 3 "));
    std::remove(inputPath);
    std::remove(outputPath);
}

// A count the memory cannot hold ends with a message, not a crash. The address space is capped so
// that growing the sequence fails after a few million values.
TEST(Dialogue, ReportsRunningOutOfMemory) {
    if (programIsEmulated()) {
        GTEST_SKIP() << "the address-space limit applies to native processes only";
    }
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "AddressSanitizer reserves more address space than the limit allows";
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
    GTEST_SKIP() << "AddressSanitizer reserves more address space than the limit allows";
#endif
#endif
    std::string input = "2147483647\n";
    for (int k = 0; k < 16'000'000; ++k) {
        input += "1 ";
    }
    std::vector<std::string> command = {"/bin/sh", "-c", "ulimit -v 65536 && exec \"$0\""};
    command.push_back(programCommand().back());
    const ProcessResult result = runProcess(command, input);
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_EQ(result.err, "error: not enough memory for 2147483647 numbers\n");
    EXPECT_EQ(result.out, askValues("2147483647"));
}

}  // namespace
