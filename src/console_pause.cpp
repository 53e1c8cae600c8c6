#include "console_pause.h"

#ifdef _WIN32

#include <cstdlib>
#include <iostream>

void pauseConsole() {
    std::cout.flush();
    static_cast<void>(std::system("pause"));
}

#else

#include <signal.h>
#include <termios.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstddef>
#include <iostream>

namespace {

// The terminal's settings before the wait, for the signal handler to put back.
termios savedSettings{};

constexpr std::array<int, 4> kEndingSignals = {SIGINT, SIGTERM, SIGHUP, SIGQUIT};

// Puts the terminal back and lets the signal end the process as it would have without us.
extern "C" void restoreAndReraise(int signalNumber) {
    tcsetattr(STDIN_FILENO, TCSANOW, &savedSettings);
    signal(signalNumber, SIG_DFL);
    raise(signalNumber);
}

}  // namespace

void pauseConsole() {
    if (!isatty(STDIN_FILENO) || tcgetattr(STDIN_FILENO, &savedSettings) != 0) {
        return;
    }

    // Handlers go in before the terminal changes, so no signal can leave it changed. A signal the
    // caller ignores stays ignored.
    std::array<struct sigaction, kEndingSignals.size()> previous{};
    struct sigaction restoring {};
    restoring.sa_handler = restoreAndReraise;
    sigemptyset(&restoring.sa_mask);
    for (std::size_t k = 0; k < kEndingSignals.size(); ++k) {
        sigaction(kEndingSignals[k], nullptr, &previous[k]);
        if (previous[k].sa_handler != SIG_IGN) {
            sigaction(kEndingSignals[k], &restoring, nullptr);
        }
    }

    // One key, unechoed, without waiting for Enter; Ctrl-C still raises its signal.
    termios oneKey = savedSettings;
    oneKey.c_lflag &= ~static_cast<tcflag_t>(ICANON | ECHO);
    oneKey.c_cc[VMIN] = 1;
    oneKey.c_cc[VTIME] = 0;
    tcsetattr(STDIN_FILENO, TCSANOW, &oneKey);

    std::cout << "Press any key to continue . . . " << std::flush;
    char key = 0;
    while (read(STDIN_FILENO, &key, 1) < 0 && errno == EINTR) {
    }
    // A key that sends several bytes (an arrow, a function key) is one press: drop the rest.
    tcflush(STDIN_FILENO, TCIFLUSH);

    tcsetattr(STDIN_FILENO, TCSANOW, &savedSettings);
    for (std::size_t k = 0; k < kEndingSignals.size(); ++k) {
        sigaction(kEndingSignals[k], &previous[k], nullptr);
    }
    std::cout << std::endl;
}

#endif
