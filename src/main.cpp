#include <iostream>

#include "console_pause.h"
#include "dialogue.h"
#include "input_text.h"
#include "terminal.h"

int main() {
    // The program uses the C++ streams alone, so they need not keep in step with C's stdio.
    std::ios::sync_with_stdio(false);
    readStandardInputAsBytes();

    const StandardTerminals terminals = standardTerminals();
    const int status = runSortDialogue(std::cin, std::cout, std::cerr, terminals);
    pauseConsole(terminals);
    return status;
}
