// The program on a real pseudo-terminal, as a person meets it: the end of input and error lines
// of the dialogue, the key-press wait (one key without echo or Enter, the terminal's settings put
// back however it ends, job control) and the progress line of a long sort.
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>
#include <utmp.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "process_runner.h"

namespace {

using namespace std::chrono_literals;

const std::string kAskCount = "Enter how many numbers to sort: ";
const std::string kPrompt = "Press any key to continue . . . ";

// How the program (or a shell) is started on the terminal.
struct Launch {
    std::vector<std::string> argv = programCommand();
    std::string stdinPath;   // standard input from this file instead of the terminal
    std::string stdoutPath;  // standard output to this file instead of the terminal
};

// A shell with job control on the terminal, its prompt "$ ".
Launch interactiveShell() {
    Launch shell;
    shell.argv = {"/usr/bin/env", "-i",          "PS1=$ ",      "TERM=dumb", "bash",
                  "--norc",       "--noprofile", "--noediting", "-i"};
    return shell;
}

// The command started on the slave side of a fresh pseudo-terminal. The test keeps its own
// descriptor of the slave, so the terminal's settings can still be read after the program has
// exited.
class TerminalSession {
  public:
    explicit TerminalSession(const Launch& launch = {}) {
        if (openpty(&master_, &slave_, nullptr, nullptr, nullptr) != 0) {
            throw std::runtime_error("openpty failed");
        }
        std::vector<char*> args;
        for (const std::string& arg : launch.argv) {
            args.push_back(const_cast<char*>(arg.c_str()));
        }
        args.push_back(nullptr);
        pid_ = fork();
        if (pid_ == 0) {
            close(master_);
            login_tty(dup(slave_));
            if (!launch.stdinPath.empty()) {
                dup2(open(launch.stdinPath.c_str(), O_RDONLY), STDIN_FILENO);
            }
            if (!launch.stdoutPath.empty()) {
                dup2(open(launch.stdoutPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600),
                     STDOUT_FILENO);
            }
            execvp(args[0], args.data());
            _exit(127);
        }
    }

    ~TerminalSession() {
        if (pid_ > 0 && !reaped_) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
        }
        close(master_);
        close(slave_);
    }

    void type(const std::string& keys) {
        ASSERT_EQ(write(master_, keys.data(), keys.size()), static_cast<ssize_t>(keys.size()));
    }

    // Reads what the program shows until text has appeared the given number of times; false
    // after a few seconds without it.
    bool waitFor(const std::string& text, int times = 1) {
        const auto deadline = std::chrono::steady_clock::now() + 10s;
        while (count(text) < times) {
            if (std::chrono::steady_clock::now() > deadline) {
                return false;
            }
            readScreen(100);
        }
        return true;
    }

    tcflag_t localFlags() const {
        termios settings{};
        tcgetattr(slave_, &settings);
        return settings.c_lflag & (ECHO | ICANON);
    }

    // Bytes typed that nobody has read.
    int unreadInput() const {
        int bytes = -1;
        ioctl(slave_, FIONREAD, &bytes);
        return bytes;
    }

    bool stillRunning() { return waitpid(pid_, &status_, WNOHANG) == 0; }

    // Waits for the program to end, reading what it shows meanwhile, and returns its wait status.
    int finish(std::chrono::seconds limit = 10s) {
        const auto deadline = std::chrono::steady_clock::now() + limit;
        while (!reaped_ && std::chrono::steady_clock::now() < deadline) {
            if (waitpid(pid_, &status_, WNOHANG) == pid_) {
                reaped_ = true;
            } else {
                readScreen(10);
            }
        }
        while (readScreen(0)) {
        }
        return reaped_ ? status_ : -1;
    }

    pid_t pid() const { return pid_; }
    const std::string& screen() const { return screen_; }

  private:
    int count(const std::string& text) const {
        int found = 0;
        for (auto at = screen_.find(text); at != std::string::npos;
             at = screen_.find(text, at + text.size())) {
            ++found;
        }
        return found;
    }

    bool readScreen(int milliseconds) {
        pollfd fd = {master_, POLLIN, 0};
        if (poll(&fd, 1, milliseconds) <= 0) {
            return false;
        }
        char chunk[65536];
        const ssize_t n = read(master_, chunk, sizeof chunk);
        if (n <= 0) {
            return false;
        }
        screen_.append(chunk, static_cast<std::size_t>(n));
        return true;
    }

    int master_ = -1;
    int slave_ = -1;
    pid_t pid_ = -1;
    int status_ = 0;
    bool reaped_ = false;
    std::string screen_;
};

// The dialogue typed at the terminal: the end-of-input key ends the input at once, the first
// time the program sees it, and an error line never starts in the middle of a screen line.
struct TypedCase {
    const char* name;
    std::vector<std::string> steps;  // each typed once the program has asked for it
    std::string screen;              // up to the key-press prompt; the terminal shows \n as \r\n
};

void PrintTo(const TypedCase& c, std::ostream* os) {
    *os << c.name;
}

class TypedDialogue : public ::testing::TestWithParam<TypedCase> {};

TEST_P(TypedDialogue, ShowsThisAndWaitsForAKey) {
    TerminalSession session;
    const std::vector<std::string>& steps = GetParam().steps;
    for (std::size_t k = 0; k < steps.size(); ++k) {
        ASSERT_TRUE(session.waitFor(k == 0 ? kAskCount : " numbers:\r\n")) << session.screen();
        session.type(steps[k]);
    }
    ASSERT_TRUE(session.waitFor(kPrompt)) << "still reading after the end of the input:\n"
                                          << session.screen();
    EXPECT_EQ(session.screen(), GetParam().screen + kPrompt);
    session.type("x");
    const int status = session.finish();
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 1);
}

const std::string kEnded = "but the input ended\r\n";

INSTANTIATE_TEST_SUITE_P(
    Typed, TypedDialogue,
    ::testing::Values(
        TypedCase{"endAtTheCount",
                  {"\x04"},
                  kAskCount + "\r\nerror: expected how many numbers to sort, " + kEnded},
        TypedCase{"countThenEndTwice",
                  {"5\x04\x04"},
                  kAskCount + "5Enter 5 numbers:\r\nerror: expected number 1 of 5, " + kEnded},
        TypedCase{
            "valuesThenEndTwice",
            {"3\n", "1 2\x04\x04"},
            kAskCount + "3\r\nEnter 3 numbers:\r\n1 2\r\nerror: expected number 3 of 3, " + kEnded},
        TypedCase{"wordThenEnter",
                  {"abc\n"},
                  kAskCount + "abc\r\nerror: expected how many numbers to sort, but found " +
                      "\"abc\"\r\n"},
        TypedCase{"wordThenEnd",
                  {"2\n", "1 x y\x04"},
                  kAskCount + "2\r\nEnter 2 numbers:\r\n1 x y\r\nerror: expected number 2 of 2, " +
                      "but found \"x\"\r\n"},
        TypedCase{"typedBeforeThePrompt",
                  {"2 1 x y\x04"},
                  kAskCount + "2 1 x yEnter 2 numbers:\r\nerror: expected number 2 of 2, " +
                      "but found \"x\"\r\n"}),
    [](const auto& info) { return std::string(info.param.name); });

// Brings the program to its pause, checking on the way that the wait has really begun.
void reachThePause(TerminalSession& session, tcflag_t& before) {
    ASSERT_TRUE(session.waitFor(kAskCount));
    before = session.localFlags();
    ASSERT_EQ(before, ECHO | ICANON);
    session.type("2\n5 3\n");
    ASSERT_TRUE(session.waitFor(kPrompt)) << session.screen();
    EXPECT_NE(session.screen().find("Sorted using std::sort: 3 5 \r\n"), std::string::npos);
    std::this_thread::sleep_for(300ms);
    EXPECT_TRUE(session.stillRunning()) << "the pause did not wait";
    EXPECT_EQ(session.localFlags(), 0u) << "echo or line mode still on during the wait";
}

struct KeyCase {
    const char* name;
    std::string keys;
};

void PrintTo(const KeyCase& c, std::ostream* os) {
    *os << c.name;
}

class PauseKey : public ::testing::TestWithParam<KeyCase> {};

TEST_P(PauseKey, EndsTheWaitAndRestoresTheTerminal) {
    TerminalSession session;
    tcflag_t before = 0;
    reachThePause(session, before);
    session.type(GetParam().keys);
    const int status = session.finish();
    ASSERT_TRUE(WIFEXITED(status)) << status;
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_EQ(session.localFlags(), before);
    EXPECT_EQ(session.unreadInput(), 0) << "part of the key is left for the shell to read";
    // Nothing but the line end follows the prompt: the key is not echoed.
    ASSERT_TRUE(session.waitFor(kPrompt + "\r\n"));
    EXPECT_EQ(session.screen().substr(session.screen().find(kPrompt) + kPrompt.size()), "\r\n");
}

INSTANTIATE_TEST_SUITE_P(Keys, PauseKey,
                         ::testing::Values(KeyCase{"letter", "x"}, KeyCase{"space", " "},
                                           KeyCase{"endOfInputKey", "\x04"},
                                           KeyCase{"arrow", "\x1b[A"}),
                         [](const auto& info) { return std::string(info.param.name); });

struct SignalCase {
    const char* name;
    std::string typed;           // typed at the terminal, when not empty
    int sent;                    // sent with kill otherwise
    int expected;                // the signal that ends the process; 0 when the wait goes on
    bool ignoredBefore = false;  // the program is started with the signal ignored (nohup)
};

void PrintTo(const SignalCase& c, std::ostream* os) {
    *os << c.name;
}

class PauseSignal : public ::testing::TestWithParam<SignalCase> {};

TEST_P(PauseSignal, EndsAsTheSignalWouldAfterRestoringTheTerminal) {
    const SignalCase& c = GetParam();
    Launch launch;
    if (c.ignoredBefore) {
        launch.argv = {"/bin/sh", "-c", "trap '' " + std::to_string(c.sent) + "; exec \"$0\"",
                       programCommand().back()};
    }
    TerminalSession session(launch);
    tcflag_t before = 0;
    reachThePause(session, before);
    if (!c.typed.empty()) {
        session.type(c.typed);
    } else {
        kill(session.pid(), c.sent);
    }
    if (c.expected == 0) {
        std::this_thread::sleep_for(300ms);
        EXPECT_TRUE(session.stillRunning()) << "an ignored signal ended the wait";
        session.type("x");
    }
    const int status = session.finish();
    if (c.expected == 0) {
        ASSERT_TRUE(WIFEXITED(status)) << status;
    } else {
        ASSERT_TRUE(WIFSIGNALED(status)) << status;
        EXPECT_EQ(WTERMSIG(status), c.expected);
    }
    EXPECT_EQ(session.localFlags(), before);
}

INSTANTIATE_TEST_SUITE_P(Signals, PauseSignal,
                         ::testing::Values(SignalCase{"ctrlC", "\x03", 0, SIGINT},
                                           SignalCase{"sigterm", "", SIGTERM, SIGTERM},
                                           SignalCase{"sighup", "", SIGHUP, SIGHUP},
                                           SignalCase{"sighupUnderNohup", "", SIGHUP, 0, true}),
                         [](const auto& info) { return std::string(info.param.name); });

// Scripts and pipes never wait: without a terminal on standard input the pause writes nothing.
TEST(Pause, DoesNotWaitWithoutATerminal) {
    const ProcessResult result = runProcess(programCommand(), "0\n");
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_EQ(result.out.find("Press any key"), std::string::npos);
}

// Results sent to a file from a terminal: the file holds the results alone and nobody waits for
// a key that no prompt asked for.
TEST(Pause, DoesNotWaitWhenTheResultsGoToAFile) {
    char path[] = "/tmp/sortdemo-out-XXXXXX";
    close(mkstemp(path));
    Launch launch;
    launch.stdoutPath = path;
    TerminalSession session(launch);
    session.type("2\n5 3\n");
    const int status = session.finish();
    ASSERT_TRUE(WIFEXITED(status)) << "waited for a key";
    EXPECT_EQ(WEXITSTATUS(status), 0);
    std::ifstream file(path);
    const std::string written((std::istreambuf_iterator<char>(file)), {});
    std::remove(path);
    EXPECT_EQ(written, kAskCount +
                           "Enter 2 numbers:\n\nSorted using Bubble Sort: 3 5 \nSorted using "
                           "std::sort: 3 5 \n");
}

// Ctrl-Z at the wait, then fg, in an interactive shell: stopped, the shell gets its terminal back
// as it was; continued, the prompt is shown again and one unechoed key without Enter ends it.
TEST(PauseJobControl, WaitsForOneKeyAgainAfterFg) {
    TerminalSession shell(interactiveShell());
    ASSERT_TRUE(shell.waitFor("$ "));
    const tcflag_t before = shell.localFlags();
    shell.type(programCommand().back() + "\n");
    ASSERT_TRUE(shell.waitFor(kAskCount));
    shell.type("2\n5 3\n");
    ASSERT_TRUE(shell.waitFor(kPrompt));
    shell.type("\x1a");
    ASSERT_TRUE(shell.waitFor("Stopped")) << shell.screen();
    ASSERT_TRUE(shell.waitFor("$ ", 2));
    EXPECT_EQ(shell.localFlags(), before);
    shell.type("fg\n");
    ASSERT_TRUE(shell.waitFor(kPrompt, 2)) << shell.screen();
    EXPECT_EQ(shell.localFlags(), 0u) << "echo or line mode back on after fg";
    shell.type("x");
    ASSERT_TRUE(shell.waitFor("$ ", 3)) << "the key did not end the wait:\n" << shell.screen();
    shell.type("echo status $?\n");
    ASSERT_TRUE(shell.waitFor("status 0"));
    const std::string& screen = shell.screen();
    EXPECT_EQ(screen.substr(screen.rfind(kPrompt) + kPrompt.size(), 4), "\r\n$ ") << "echoed";
}

// A background process whose terminal reads fail (EIO: stopping it for input is not allowed)
// gets an error line and does not wait for a key it can never read.
TEST(PauseJobControl, EndsWhenTheTerminalCannotBeRead) {
    TerminalSession shell(interactiveShell());
    ASSERT_TRUE(shell.waitFor("$ "));
    shell.type("sh -c 'trap \"\" TTIN TTOU; exec \"$0\"' " + programCommand().back() +
               " & wait $!; echo \"status $?\"\n");
    ASSERT_TRUE(shell.waitFor("status 1")) << shell.screen();
    EXPECT_NE(shell.screen().find("error: expected how many numbers to sort, but the input could "
                                  "not be read\r\n"),
              std::string::npos)
        << shell.screen();
}

// A sort that takes more than a second shows a status line on standard error at a terminal and
// erases it before the results, leaving the screen as it would be without it. Standard error on
// a pipe gets no byte of it.
TEST(ProgressLine, ShownOnlyOnATerminalAndErasedBeforeTheResults) {
    char path[] = "/tmp/sortdemo-in-XXXXXX";
    close(mkstemp(path));
    std::string shown;
    std::string input;
    std::string n;
    // Sizes grow until the sort is slow enough on this machine to show the line.
    for (int size = 1 << 18; shown.find("\rsorting ") == std::string::npos; size *= 2) {
        n = std::to_string(size);
        input = n + "\n";
        for (int k = 0; k < size; ++k) {
            input += "0 ";
        }
        std::ofstream(path) << input;
        Launch launch;
        launch.stdinPath = path;
        const auto start = std::chrono::steady_clock::now();
        TerminalSession session(launch);
        const int status = session.finish(300s);
        ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
        shown = session.screen();
        ASSERT_TRUE(shown.find("\rsorting ") != std::string::npos ||
                    std::chrono::steady_clock::now() - start < 3s)
            << "a sort of " << n << " numbers took over 3 s without a progress line";
    }
    std::remove(path);

    // Every status line is overwritten in place and the last one is erased.
    std::string withoutStatus = shown;
    for (auto at = withoutStatus.find("\rsorting " + n + " numbers: "); at != std::string::npos;
         at = withoutStatus.find("\rsorting ")) {
        const auto end = withoutStatus.find("\x1b[K", at);
        ASSERT_NE(end, std::string::npos);
        withoutStatus.erase(at, end + 3 - at);
    }
    const std::string zeros = input.substr(n.size() + 1);
    EXPECT_EQ(withoutStatus, kAskCount + "Enter " + n + " numbers:\r\n\r\x1b[K\r\nSorted using " +
                                 "Bubble Sort: " + zeros + "\r\nSorted using std::sort: " + zeros +
                                 "\r\n");
    EXPECT_EQ(runProcess(programCommand(), input).err, "");
}

}  // namespace
