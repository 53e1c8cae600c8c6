#include "terminal.h"

#ifdef _WIN32
#define NOMINMAX
#define WIN32_LEAN_AND_MEAN
#include <io.h>
#include <windows.h>

namespace {

// A console is what has a console mode: the C runtime's _isatty is true for any character
// device, the NUL device too.
int isConsole(int fd) {
    DWORD mode = 0;
    return GetConsoleMode(reinterpret_cast<HANDLE>(_get_osfhandle(fd)), &mode) != 0 ? 1 : 0;
}

}  // namespace

#define SORTDEMO_ISATTY isConsole
#else
#include <sys/ioctl.h>
#include <unistd.h>
#define SORTDEMO_ISATTY isatty
#endif

StandardTerminals standardTerminals() {
    StandardTerminals terminals;
    terminals.input = SORTDEMO_ISATTY(0) != 0;
    terminals.output = SORTDEMO_ISATTY(1) != 0;
    terminals.error = SORTDEMO_ISATTY(2) != 0;
    return terminals;
}

long typedAheadOnStandardInput() {
#ifdef _WIN32
    return 0;
#else
    int bytes = 0;
    return ioctl(STDIN_FILENO, FIONREAD, &bytes) == 0 ? bytes : 0;
#endif
}

bool inForegroundOf(int descriptor) {
#ifdef _WIN32
    static_cast<void>(descriptor);
    return true;
#else
    const pid_t foreground = tcgetpgrp(descriptor);
    return foreground < 0 || foreground == getpgrp();
#endif
}

int terminalColumns(int descriptor) {
#ifdef _WIN32
    // A console line wraps at its screen buffer's width; a window narrower than that hides the
    // rest of the line instead.
    CONSOLE_SCREEN_BUFFER_INFO info{};
    const auto handle = reinterpret_cast<HANDLE>(_get_osfhandle(descriptor));
    if (handle == INVALID_HANDLE_VALUE || GetConsoleScreenBufferInfo(handle, &info) == 0) {
        return 0;
    }
    const int window = info.srWindow.Right - info.srWindow.Left + 1;
    return window > 0 && window < info.dwSize.X ? window : info.dwSize.X;
#else
    winsize size{};
    return ioctl(descriptor, TIOCGWINSZ, &size) == 0 ? size.ws_col : 0;
#endif
}

TerminalNow terminalNow(int descriptor) {
    return {inForegroundOf(descriptor), terminalColumns(descriptor)};
}
