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
