#pragma once

#include "terminal.h"

// Waits for a key press before the console window goes away. On Windows the command processor's
// "pause" does it; elsewhere the program shows the same prompt and waits itself, and only when
// standard input and standard output are both terminals, so pipes, scripts and output files
// never wait.
void pauseConsole(StandardTerminals terminals);
