#pragma once

// Which of the standard streams are terminals. The program writes the same bytes to pipes and
// files whatever this says; it only changes what a person at a terminal sees.
struct StandardTerminals {
    bool input = false;
    bool output = false;
    bool error = false;
};

StandardTerminals standardTerminals();

// Bytes typed at the terminal on standard input that no read has taken yet: whole lines, or text
// ended with the end-of-input key. 0 where the system cannot tell.
long typedAheadOnStandardInput();

// Whether this process's group is the foreground group of the terminal on the descriptor now:
// only then may it change the terminal or draw on it without stopping or writing over a shell's
// line. True where the system has no job control (Windows) or the descriptor is no terminal.
// Safe in a signal handler.
bool inForegroundOf(int descriptor);

// The width in columns of the terminal on the descriptor now (the console's screen buffer on
// Windows), or 0 where it cannot tell.
int terminalColumns(int descriptor);

// Both, for something drawn on a terminal as it is now.
struct TerminalNow {
    bool foreground = true;
    int columns = 0;  // 0: unknown
};
TerminalNow terminalNow(int descriptor);

// A POSIX terminal ends the input with Ctrl-D, which can leave the typed text on an open screen
// line; the Windows console needs Enter after its Ctrl-Z, so its line is always ended.
#ifdef _WIN32
constexpr bool kInputCanEndMidLine = false;
#else
constexpr bool kInputCanEndMidLine = true;
#endif
