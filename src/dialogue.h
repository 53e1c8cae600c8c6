#pragma once

#include <iostream>

#include "terminal.h"

// Runs the whole sorting dialogue on the given streams: asks for the count, reads that many
// numbers, sorts one copy with the bubble sort and one with the standard sort, and writes both
// labelled results. Returns the exit status: 0, or 1 after writing one "error: " line to err.
// Result lines go out only when every number was read. terminals says which streams a person
// sees: it changes what goes to err at a terminal (a line end before an error that would start
// mid-line, a progress line during a long sort), never what goes to out.
int runSortDialogue(std::istream& in, std::ostream& out, std::ostream& err,
                    StandardTerminals terminals = {});
