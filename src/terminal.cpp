#include "terminal.h"

#ifdef _WIN32
#include <io.h>
#define SORTDEMO_ISATTY _isatty
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
