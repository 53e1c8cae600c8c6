#pragma once

#include <iostream>

// Runs the whole sorting dialogue on the given streams: asks for the count, reads that many
// numbers, sorts one copy with the bubble sort and one with the standard sort, and writes both
// labelled results. Returns the exit status: 0, or 1 after writing one "error: " line to err.
// Result lines go out only when every number was read.
int runSortDialogue(std::istream& in, std::ostream& out, std::ostream& err);
