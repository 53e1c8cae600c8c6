#pragma once

// Waits for a key press before the console window goes away. On Windows the command processor's
// "pause" does it; elsewhere the program shows the same prompt and waits itself, and only when
// standard input is a terminal, so pipes and scripts never wait.
void pauseConsole();
