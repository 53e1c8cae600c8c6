#pragma once

#include <string>
#include <vector>

// Starting the built program from a test: on pipes with a given standard input, or on a
// pseudo-terminal.

struct ProcessResult {
    std::string out;
    std::string err;
    int exitCode = -1;      // when the process exited
    int signal = 0;         // when a signal ended it
    bool timedOut = false;  // killed after the time limit
};

// Runs argv with input on standard input; standard output goes to stdoutPath instead of a pipe
// when one is given. A process still running after timeoutSeconds is killed.
ProcessResult runProcess(const std::vector<std::string>& argv, const std::string& input,
                         const std::string& stdoutPath = "", int timeoutSeconds = 60);

// The command that starts the program under test: SORTDEMO_RUNNER (such as wine), when set,
// then SORTDEMO_PROGRAM.
std::vector<std::string> programCommand();

// True when the program runs under an emulating runner (Wine, qemu).
bool programIsEmulated();

// True for the Windows program: its line ends are CRLF and its command processor's pause adds
// its own output after ours.
bool programIsWindows();
