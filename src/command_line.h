#pragma once

#include <iosfwd>
#include <string>
#include <string_view>
#include <vector>

// What the command line asks for. The numbers always come from standard input; the only
// arguments are the two that console tools answer, --help and --version (and /? on Windows).
enum class CommandAction { sortNumbers, showHelp, showVersion, usageError };

struct CommandLine {
    CommandAction action = CommandAction::sortNumbers;
    std::string problem;  // a usage error's line, after "error: "
};

// A usage error's exit status, apart from bad input's 1, so that a script can tell a wrong call
// from wrong numbers (as GNU tools use 2).
constexpr int kUsageErrorStatus = 2;

#ifdef _WIN32
constexpr bool kWindowsOptions = true;
#else
constexpr bool kWindowsOptions = false;
#endif

// The arguments after the program's name. windowsOptions: /? asks for the help too.
CommandLine parseCommandLine(const std::vector<std::string_view>& arguments,
                             bool windowsOptions = kWindowsOptions);

// Answers anything but sortNumbers: the help or the version on out, or the usage error's line on
// err. Returns the exit status.
int answerCommandLine(const CommandLine& commandLine, std::ostream& out, std::ostream& err);
