#pragma once

#include "terminal.h"

// Waits for a key press before the console window goes away, only when standard input and
// standard output are both terminals (consoles), so pipes, scripts and output files never wait.
// On Windows the command processor's "pause" does it; elsewhere the program shows the same
// prompt and waits itself.
void pauseConsole(StandardTerminals terminals);
