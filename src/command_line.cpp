#include "command_line.h"

#include <cstddef>
#include <ostream>

#include "number_reader.h"
#include "sortdemo_version.h"

namespace {

// An argument is shown in an error line as a token is: at most this many of its bytes.
constexpr std::size_t kShownBytes = 40;

constexpr char kHelp[] =
    "Usage: sortdemo [--help | --version]\n"
    "\n"
    "Asks how many integers to sort, reads that many from standard input, sorts one\n"
    "copy with a bubble sort and one with std::sort, and writes both results. When\n"
    "standard input and output are both a console, it then waits for a key press.\n"
    "\n"
    "Type the count and the numbers at the prompts, or give them in a file or a pipe:\n"
    "  sortdemo < numbers.txt\n"
    "  echo 3 9 8 7 | sortdemo\n"
    "\n"
    "Options:\n"
    "  --help     show this help and exit\n"
#ifdef _WIN32
    "  /?         the same as --help\n"
#endif
    "  --version  show the version and the licence and exit\n"
    "\n"
    "Exit status: 0 sorted; 1 bad input, or the results could not be written;\n"
    "2 a wrong command line.\n"
#ifdef _WIN32
    "More in README.txt, beside sortdemo.exe.\n";
#else
    "The manual: man sortdemo (in an unpacked archive: man ./sortdemo.1).\n";
#endif

int failWith(std::ostream& err, const std::string& message, int status) {
    // One write, as the dialogue's error lines.
    err << ("error: " + message + '\n') << std::flush;
    return status;
}

}  // namespace

CommandLine parseCommandLine(const std::vector<std::string_view>& arguments, bool windowsOptions) {
    const auto isHelp = [&](std::string_view a) {
        return a == "--help" || (windowsOptions && a == "/?");
    };
    CommandLine commandLine;
    if (arguments.empty()) {
        return commandLine;
    }
    if (arguments.size() == 1 && isHelp(arguments[0])) {
        commandLine.action = CommandAction::showHelp;
        return commandLine;
    }
    if (arguments.size() == 1 && arguments[0] == "--version") {
        commandLine.action = CommandAction::showVersion;
        return commandLine;
    }
    // An option counts only alone: after one, the next argument is the one that is wrong.
    const bool optionFirst = isHelp(arguments[0]) || arguments[0] == "--version";
    const std::string_view wrong = arguments[optionFirst ? 1 : 0];
    commandLine.action = CommandAction::usageError;
    commandLine.problem =
        "unexpected argument " +
        quoteForTerminal(wrong.substr(0, kShownBytes), wrong.size() > kShownBytes) +
        " (sortdemo reads the numbers from standard input, as in: sortdemo < numbers.txt)";
    return commandLine;
}

int answerCommandLine(const CommandLine& commandLine, std::ostream& out, std::ostream& err) {
    switch (commandLine.action) {
        case CommandAction::showHelp:
            out << kHelp;
            break;
        case CommandAction::showVersion:
            out << "sortdemo " << kSortdemoVersion << '\n'
                << kSortdemoCopyright << '\n'
                << "Free software under the MIT licence, with no warranty.\n";
            break;
        case CommandAction::usageError:
            return failWith(err, commandLine.problem, kUsageErrorStatus);
        case CommandAction::sortNumbers:
            break;
    }
    // A help or a version that never reached its reader is a failure, not a success.
    if (!out.flush()) {
        return failWith(err, "could not write to standard output", 1);
    }
    return 0;
}
