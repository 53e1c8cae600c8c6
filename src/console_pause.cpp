#include "console_pause.h"

#ifdef _WIN32

#include <io.h>

#include <cstdio>
#include <cstdlib>
#include <iostream>

void pauseConsole(StandardTerminals) {
    std::cout.flush();
    // The command processor takes its key from standard input, a byte of it when that is a
    // file: put the file back where the dialogue left it, for the next reader.
    const long long position = _lseeki64(0, 0, SEEK_CUR);
    static_cast<void>(std::system("pause"));
    if (position >= 0) {
        _lseeki64(0, position, SEEK_SET);
    }
}

#else

#include <signal.h>
#include <termios.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <csignal>
#include <cstddef>
#include <iostream>

namespace {

constexpr char kPrompt[] = "Press any key to continue . . . ";

// The terminal's settings before the wait and during it, for the signal handlers.
termios savedSettings{};
termios oneKeySettings{};
volatile std::sig_atomic_t continued = 0;  // set when the process is continued after a stop
volatile std::sig_atomic_t stopping = 0;   // set while Ctrl-Z's handler stops the process
volatile std::sig_atomic_t prompted = 0;   // set once the prompt has been shown

// Puts the terminal back and lets the signal end the process as it would have without us.
extern "C" void restoreAndReraise(int signalNumber) {
    tcsetattr(STDIN_FILENO, TCSANOW, &savedSettings);
    signal(signalNumber, SIG_DFL);
    raise(signalNumber);
}

// In the foreground, the wait takes up its one-key mode and its prompt where the shell has put
// its own. In the background (a job sent there with bg during the sort) it leaves the terminal
// alone, as changing it would stop the process; reading it will stop the process until it is
// brought to the foreground, and then SIGCONT brings this back.
void takeUpTheWait() {
    if (tcgetpgrp(STDIN_FILENO) == getpgrp()) {
        tcsetattr(STDIN_FILENO, TCSANOW, &oneKeySettings);
        [[maybe_unused]] const ssize_t written = write(STDOUT_FILENO, kPrompt, sizeof kPrompt - 1);
        prompted = 1;
    }
}

// Ctrl-Z: the shell gets the terminal back as it was, and the process stops as it would have
// without us. Returns once the process is continued, with this handler back in place before the
// one-key mode, so that a Ctrl-Z right after fg cannot stop the process with the terminal in it.
extern "C" void restoreAndStop(int signalNumber) {
    const int savedErrno = errno;
    tcsetattr(STDIN_FILENO, TCSANOW, &savedSettings);
    struct sigaction stop {};
    struct sigaction ours {};
    stop.sa_handler = SIG_DFL;
    sigaction(signalNumber, &stop, &ours);
    sigset_t just{};
    sigemptyset(&just);
    sigaddset(&just, signalNumber);
    continued = 0;
    stopping = 1;
    sigprocmask(SIG_UNBLOCK, &just, nullptr);
    raise(signalNumber);
    sigprocmask(SIG_BLOCK, &just, nullptr);
    sigaction(signalNumber, &ours, nullptr);
    stopping = 0;
    if (continued != 0) {
        takeUpTheWait();
    } else {
        // A process group without a shell to continue it is not stopped: wait on as before.
        tcsetattr(STDIN_FILENO, TCSANOW, &oneKeySettings);
    }
    errno = savedErrno;
}

// Continued. After a stop of our own, Ctrl-Z's handler takes up the wait once it is ready for
// another Ctrl-Z; after any other stop (reading the terminal in the background) this does.
extern "C" void resumeWaiting(int) {
    const int savedErrno = errno;
    continued = 1;
    if (stopping == 0) {
        takeUpTheWait();
    }
    errno = savedErrno;
}

struct Handler {
    int signalNumber;
    void (*handler)(int);
};

// The signals that end the process, then job control's.
constexpr std::array<Handler, 6> kHandlers = {{
    {SIGINT, restoreAndReraise},
    {SIGTERM, restoreAndReraise},
    {SIGHUP, restoreAndReraise},
    {SIGQUIT, restoreAndReraise},
    {SIGTSTP, restoreAndStop},
    {SIGCONT, resumeWaiting},
}};

}  // namespace

void pauseConsole(StandardTerminals terminals) {
    // A key can only be pressed at a terminal, and only a person who sees the prompt presses it:
    // with the results going to a file or a pipe the program neither writes it nor waits.
    if (!terminals.input || !terminals.output || tcgetattr(STDIN_FILENO, &savedSettings) != 0) {
        return;
    }

    // Job control stays out while the wait is set up and taken down, so a stop or a continue
    // never finds it half done.
    sigset_t jobControl{};
    sigset_t outer{};
    sigemptyset(&jobControl);
    sigaddset(&jobControl, SIGTSTP);
    sigaddset(&jobControl, SIGCONT);
    sigprocmask(SIG_BLOCK, &jobControl, &outer);

    // Handlers go in before the terminal changes, so no signal can leave it changed. A signal the
    // caller ignores stays ignored (nohup's SIGHUP, a shell without job control's SIGTSTP).
    std::array<struct sigaction, kHandlers.size()> previous{};
    for (std::size_t k = 0; k < kHandlers.size(); ++k) {
        struct sigaction ours {};
        ours.sa_handler = kHandlers[k].handler;
        sigemptyset(&ours.sa_mask);
        sigaction(kHandlers[k].signalNumber, nullptr, &previous[k]);
        if (previous[k].sa_handler != SIG_IGN || kHandlers[k].signalNumber == SIGCONT) {
            sigaction(kHandlers[k].signalNumber, &ours, nullptr);
        }
    }

    // One key, unechoed, without waiting for Enter; Ctrl-C still raises its signal.
    oneKeySettings = savedSettings;
    oneKeySettings.c_lflag &= ~static_cast<tcflag_t>(ICANON | ECHO);
    oneKeySettings.c_cc[VMIN] = 1;
    oneKeySettings.c_cc[VTIME] = 0;
    std::cout.flush();
    takeUpTheWait();
    sigprocmask(SIG_SETMASK, &outer, nullptr);

    // Interrupted by a signal that did not end the process: wait on. Any other failure (EIO for
    // a process group the terminal no longer serves) ends the wait rather than spinning.
    char key = 0;
    while (read(STDIN_FILENO, &key, 1) < 0 && errno == EINTR) {
    }
    // A key that sends several bytes (an arrow, a function key) is one press: drop the rest.
    tcflush(STDIN_FILENO, TCIFLUSH);

    sigprocmask(SIG_BLOCK, &jobControl, nullptr);
    tcsetattr(STDIN_FILENO, TCSANOW, &savedSettings);
    for (std::size_t k = 0; k < kHandlers.size(); ++k) {
        sigaction(kHandlers[k].signalNumber, &previous[k], nullptr);
    }
    sigprocmask(SIG_SETMASK, &outer, nullptr);
    if (prompted != 0) {
        std::cout << std::endl;
    }
}

#endif
