#pragma once

#include <iostream>

#include "terminal.h"

// Runs the whole sorting dialogue on the given streams: asks for the count, reads that many
// numbers, sorts one copy with the bubble sort and one with the standard sort, and writes both
// labelled results. Returns the exit status: 0, or 1 after writing one "error: " line to err.
// Result lines go out only when every number was read. terminals says which streams a person
// sees: it changes what a terminal gets (a line end before an error or the second prompt that
// would start mid-line, the prompts on err when out is no terminal, a progress line during a long
// sort), never what goes to out when that is a file or a pipe.
int runSortDialogue(std::istream& in, std::ostream& out, std::ostream& err,
                    StandardTerminals terminals = {});
