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

// A POSIX terminal ends the input with Ctrl-D, which can leave the typed text on an open screen
// line; the Windows console needs Enter after its Ctrl-Z, so its line is always ended.
#ifdef _WIN32
constexpr bool kInputCanEndMidLine = false;
#else
constexpr bool kInputCanEndMidLine = true;
#endif
