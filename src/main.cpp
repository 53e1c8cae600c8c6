#include <iostream>

#include "command_line.h"
#include "console_pause.h"
#include "dialogue.h"
#include "input_text.h"
#include "terminal.h"

int main(int argc, char* argv[]) {
    // The program uses the C++ streams alone, so they need not keep in step with C's stdio.
    std::ios::sync_with_stdio(false);
    readStandardInputAsBytes();

    // --help, --version or a wrong argument is answered at once: nothing read, no key-press wait.
    const CommandLine commandLine = parseCommandLine({argv + (argc > 0 ? 1 : 0), argv + argc});
    if (commandLine.action != CommandAction::sortNumbers) {
        return answerCommandLine(commandLine, std::cout, std::cerr);
    }

    const StandardTerminals terminals = standardTerminals();
    const int status = runSortDialogue(std::cin, std::cout, std::cerr, terminals);
    pauseConsole(terminals);
    return status;
}
