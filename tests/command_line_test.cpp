#include "command_line.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <string_view>
#include <vector>

namespace {

struct CommandLineCase {
    const char* name;
    std::vector<std::string_view> arguments;
    bool windowsOptions;
    CommandAction action;
    std::string named;  // the argument the usage error names, quoted
};

void PrintTo(const CommandLineCase& c, std::ostream* os) {
    *os << c.name;
}

class CommandLineTable : public ::testing::TestWithParam<CommandLineCase> {};

TEST_P(CommandLineTable, AsksForThis) {
    const CommandLineCase& c = GetParam();
    const CommandLine commandLine = parseCommandLine(c.arguments, c.windowsOptions);
    EXPECT_EQ(commandLine.action, c.action);
    if (c.action == CommandAction::usageError) {
        EXPECT_EQ(commandLine.problem,
                  "unexpected argument " + c.named +
                      " (sortdemo reads the numbers from standard input, as in: sortdemo < "
                      "numbers.txt)");
    }
}

using enum CommandAction;
INSTANTIATE_TEST_SUITE_P(
    Cases, CommandLineTable,
    ::testing::Values(
        CommandLineCase{"none", {}, false, sortNumbers, ""},
        CommandLineCase{"help", {"--help"}, false, showHelp, ""},
        CommandLineCase{"version", {"--version"}, true, showVersion, ""},
        CommandLineCase{"windowsHelp", {"/?"}, true, showHelp, ""},
        CommandLineCase{"windowsHelpElsewhere", {"/?"}, false, usageError, "\"/?\""},
        CommandLineCase{"fileName", {"numbers.txt"}, false, usageError, "\"numbers.txt\""},
        CommandLineCase{"shortOption", {"-h"}, false, usageError, "\"-h\""},
        CommandLineCase{"empty", {""}, false, usageError, "\"\""},
        CommandLineCase{"helpThenMore", {"--help", "x"}, false, usageError, "\"x\""},
        CommandLineCase{
            "versionThenHelp", {"--version", "--help"}, false, usageError, "\"--help\""},
        CommandLineCase{"windowsHelpThenMore", {"/?", "/?"}, true, usageError, "\"/?\""},
        CommandLineCase{"fileThenHelp", {"a.txt", "--help"}, false, usageError, "\"a.txt\""},
        CommandLineCase{"controlBytes", {"\x1b[2J\\"}, false, usageError, "\"\\x1b[2J\\\\\""},
        CommandLineCase{"longCut",
                        {std::string_view("0123456789012345678901234567890123456789x")},
                        false,
                        usageError,
                        "\"0123456789012345678901234567890123456789...\""}),
    [](const auto& info) { return std::string(info.param.name); });

// The answers' exit statuses, and a help that cannot be written is a failure.
TEST(CommandLineAnswer, ExitsWithItsStatus) {
    std::ostringstream out, err;
    EXPECT_EQ(answerCommandLine(parseCommandLine({"--version"}), out, err), 0);
    EXPECT_EQ(out.str().substr(0, 9), "sortdemo ");
    EXPECT_EQ(answerCommandLine(parseCommandLine({"x"}), out, err), kUsageErrorStatus);
    EXPECT_EQ(err.str().substr(0, 7), "error: ");
    std::ostringstream full;
    full.setstate(std::ios::badbit);
    EXPECT_EQ(answerCommandLine(parseCommandLine({"--help"}), full, err), 1);
}

}  // namespace
