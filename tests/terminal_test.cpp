// The pause on a real pseudo-terminal: it shows its prompt, waits for one key without echo or
// Enter, and puts the terminal's settings back however the wait ends.
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>
#include <utmp.h>

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>

#include "process_runner.h"

namespace {

using namespace std::chrono_literals;

const std::string kPrompt = "Press any key to continue . . . ";

// The program on the slave side of a fresh pseudo-terminal. The test keeps its own descriptor
// of the slave, so the terminal's settings can still be read after the program has exited.
class TerminalSession {
  public:
    TerminalSession() {
        if (openpty(&master_, &slave_, nullptr, nullptr, nullptr) != 0) {
            throw std::runtime_error("openpty failed");
        }
        const std::vector<std::string> command = programCommand();
        pid_ = fork();
        if (pid_ == 0) {
            close(master_);
            login_tty(dup(slave_));
            execl(command.back().c_str(), command.back().c_str(), static_cast<char*>(nullptr));
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

    // Reads what the program shows until text appears; false after a few seconds without it.
    bool waitFor(const std::string& text) {
        const auto deadline = std::chrono::steady_clock::now() + 10s;
        while (screen_.find(text) == std::string::npos) {
            if (std::chrono::steady_clock::now() > deadline) {
                return false;
            }
            pollfd fd = {master_, POLLIN, 0};
            if (poll(&fd, 1, 100) > 0) {
                char chunk[4096];
                const ssize_t n = read(master_, chunk, sizeof chunk);
                if (n > 0) {
                    screen_.append(chunk, static_cast<std::size_t>(n));
                }
            }
        }
        return true;
    }

    tcflag_t localFlags() const {
        termios settings{};
        tcgetattr(slave_, &settings);
        return settings.c_lflag & (ECHO | ICANON);
    }

    bool stillRunning() { return waitpid(pid_, &status_, WNOHANG) == 0; }

    // Waits for the program to end and returns its wait status.
    int finish() {
        const auto deadline = std::chrono::steady_clock::now() + 10s;
        while (!reaped_ && std::chrono::steady_clock::now() < deadline) {
            if (waitpid(pid_, &status_, WNOHANG) == pid_) {
                reaped_ = true;
            } else {
                std::this_thread::sleep_for(10ms);
            }
        }
        return reaped_ ? status_ : -1;
    }

    pid_t pid() const { return pid_; }
    const std::string& screen() const { return screen_; }

  private:
    int master_ = -1;
    int slave_ = -1;
    pid_t pid_ = -1;
    int status_ = 0;
    bool reaped_ = false;
    std::string screen_;
};

// Brings the program to its pause, checking on the way that the wait has really begun.
void reachThePause(TerminalSession& session, tcflag_t& before) {
    ASSERT_TRUE(session.waitFor("Enter how many numbers to sort: "));
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
    std::string typed;  // typed at the terminal, when not empty
    int sent;           // sent with kill otherwise
    int expected;
};

void PrintTo(const SignalCase& c, std::ostream* os) {
    *os << c.name;
}

class PauseSignal : public ::testing::TestWithParam<SignalCase> {};

TEST_P(PauseSignal, StillEndsTheProcessAfterRestoringTheTerminal) {
    TerminalSession session;
    tcflag_t before = 0;
    reachThePause(session, before);
    if (!GetParam().typed.empty()) {
        session.type(GetParam().typed);
    } else {
        kill(session.pid(), GetParam().sent);
    }
    const int status = session.finish();
    ASSERT_TRUE(WIFSIGNALED(status)) << status;
    EXPECT_EQ(WTERMSIG(status), GetParam().expected);
    EXPECT_EQ(session.localFlags(), before);
}

INSTANTIATE_TEST_SUITE_P(Signals, PauseSignal,
                         ::testing::Values(SignalCase{"ctrlC", "\x03", 0, SIGINT},
                                           SignalCase{"sigterm", "", SIGTERM, SIGTERM},
                                           SignalCase{"sighup", "", SIGHUP, SIGHUP}),
                         [](const auto& info) { return std::string(info.param.name); });

// Scripts and pipes never wait: without a terminal on standard input the pause writes nothing.
TEST(Pause, DoesNotWaitWithoutATerminal) {
    const ProcessResult result = runProcess(programCommand(), "0\n");
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_EQ(result.out.find("Press any key"), std::string::npos);
}

}  // namespace
