// The program on a real pseudo-terminal, as a person meets it: the end of input and error lines
// of the dialogue, the key-press wait (one key without echo or Enter, the terminal's settings put
// back however it ends, job control) and the progress line of a long sort.
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/resource.h>
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
    std::string paths[3];  // standard input, output or error from this file, not the terminal
};

// Shells with job control on the terminal, their prompt "$ ". bash puts back its own terminal
// settings when a job stops; dash does not, so it shows what the program leaves behind.
const std::vector<std::string> kBash = {"bash", "--norc", "--noprofile", "--noediting", "-i"};
const std::vector<std::string> kDash = {"dash", "-i"};

Launch interactiveShell(const std::vector<std::string>& shell = kBash) {
    Launch launch;
    launch.argv = {"/usr/bin/env", "-i", "PS1=$ ", "TERM=dumb"};
    launch.argv.insert(launch.argv.end(), shell.begin(), shell.end());
    return launch;
}

// A file of its own for each test that redirects a stream, removed with it.
struct TemporaryFile {
    TemporaryFile() { close(mkstemp(path)); }
    ~TemporaryFile() { std::remove(path); }
    char path[32] = "/tmp/sortdemo-test-XXXXXX";
};

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
            for (int fd = 0; fd < 3; ++fd) {
                if (!launch.paths[fd].empty()) {
                    dup2(open(launch.paths[fd].c_str(), fd == 0 ? O_RDONLY : O_WRONLY), fd);
                }
            }
            // A test started in the background by a script has Ctrl-C and Ctrl-\ ignored: a person
            // at a terminal has not.
            signal(SIGINT, SIG_DFL);
            signal(SIGQUIT, SIG_DFL);
            // Ctrl-\ ends a test's program without leaving a core file behind.
            const rlimit noCore = {0, 0};
            setrlimit(RLIMIT_CORE, &noCore);
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

    // A long text goes a piece at a time, with what the terminal echoes read in between, so that
    // the echo never fills the terminal's output and holds up the typing.
    void type(const std::string& keys) {
        for (std::size_t at = 0; at < keys.size();) {
            const ssize_t written =
                write(master_, keys.data() + at, std::min<std::size_t>(keys.size() - at, 4096));
            ASSERT_GT(written, 0);
            at += static_cast<std::size_t>(written);
            while (readScreen(0)) {
            }
        }
    }

    // Reads what the program shows until text has appeared the given number of times; false
    // after some seconds without it.
    bool waitFor(const std::string& text, int times = 1, std::chrono::seconds limit = 10s) {
        const auto deadline = std::chrono::steady_clock::now() + limit;
        while (count(text) < times) {
            if (std::chrono::steady_clock::now() > deadline) {
                return false;
            }
            readScreen(100);
        }
        return true;
    }

    // Reads what the program shows until it has shown nothing for a moment.
    void waitForQuiet() {
        while (readScreen(300)) {
        }
    }

    tcflag_t localFlags() const {
        termios settings{};
        tcgetattr(slave_, &settings);
        return settings.c_lflag & (ECHO | ICANON);
    }

    // The terminal's window as narrow as this, as a person makes it.
    void resize(unsigned short columns) {
        const winsize size = {24, columns, 0, 0};
        ioctl(master_, TIOCSWINSZ, &size);
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
    int count(const std::string& text) const {
        int found = 0;
        for (auto at = screen_.find(text); at != std::string::npos;
             at = screen_.find(text, at + text.size())) {
            ++found;
        }
        return found;
    }
    const std::string& screen() const { return screen_; }

  private:
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

// n zeros, a thousand a line (a terminal takes lines of up to 4095 bytes), the last line ended
// with end.
std::string zeroLines(int n, const std::string& end, const std::string& lineEnd = "\n") {
    std::string text;
    for (int k = 1; k <= n; ++k) {
        text += k == n ? "0" + end : k % 1000 == 0 ? "0" + lineEnd : "0 ";
    }
    return text;
}

// A sort long enough to show the progress line here: the count grows from 2^18 zeros until a run
// from a file shows the line and takes 2 s or more, which leaves time to see the line and act
// before the sort ends. Found once, for every test that needs it.
struct SlowSort {
    int n = 0;
    std::string screen;  // of the run that found it
};

const SlowSort& slowSort() {
    static const SlowSort found = [] {
        const TemporaryFile file;
        SlowSort slow;
        for (slow.n = 1 << 18;; slow.n *= 2) {
            std::ofstream(file.path) << slow.n << '\n' << zeroLines(slow.n, "\n");
            Launch launch;
            launch.paths[0] = file.path;
            const auto start = std::chrono::steady_clock::now();
            TerminalSession session(launch);
            const int status = session.finish(300s);
            EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
            slow.screen = session.screen();
            const bool shown = slow.screen.find("\rsorting ") != std::string::npos;
            const auto took = std::chrono::steady_clock::now() - start;
            EXPECT_TRUE(shown || took < 3s)
                << "a sort of " << slow.n << " numbers took over 3 s without a progress line";
            if ((shown && took >= 2s) || slow.n >= 1 << 23) {
                return slow;
            }
        }
    }();
    return found;
}

// The end of a long screen, for a message.
std::string tail(const std::string& text) {
    return text.substr(text.size() - std::min<std::size_t>(text.size(), 120));
}

// The dialogue typed at the terminal: the end-of-input key ends the input at once, the first
// time the program sees it, after a byte-order mark too, and neither an error line nor the second
// prompt starts in the middle of a screen line. A line end goes before it only on the screen.
// With the results going to a file, the file holds the dialogue's bytes, the prompts show on
// standard error besides, and nobody waits for a key.
struct TypedCase {
    const char* name;
    std::vector<std::string> steps;  // each typed once the program has asked for it
    std::string screen;              // up to the key-press prompt; the terminal shows \n as \r\n
    int redirected = -1;             // this standard stream is a file instead of the terminal
    std::string file{};              // the input it holds, or what the program wrote there
    int status = 1;
};

class TypedDialogue : public ::testing::TestWithParam<TypedCase> {};

TEST_P(TypedDialogue, ShowsThisAndWaitsForAKey) {
    const TypedCase& c = GetParam();
    TemporaryFile file;
    Launch launch;
    std::ofstream(file.path) << (c.redirected == 0 ? c.file : "");
    if (c.redirected >= 0) {
        launch.paths[c.redirected] = file.path;
    }
    TerminalSession session(launch);
    // The wait needs the input and the output at the terminal.
    const bool waits = c.redirected < 0 || c.redirected == 2;
    for (std::size_t k = 0; k < c.steps.size(); ++k) {
        ASSERT_TRUE(session.waitFor(k == 0 ? kAskCount : " numbers:\r\n")) << session.screen();
        session.type(c.steps[k]);
    }
    if (waits) {
        ASSERT_TRUE(session.waitFor(kPrompt)) << "still reading after the end of the input:\n"
                                              << session.screen();
        EXPECT_EQ(session.screen(), c.screen + kPrompt);
        session.type("x");
    }
    const int status = session.finish();
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), c.status);
    EXPECT_EQ(session.screen().substr(0, c.screen.size()), c.screen);
    std::ifstream written(file.path);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(written), {}), c.file);
}

const std::string kEnded = "but the input ended\r\n";
const std::string kCountEnded = "error: expected how many numbers to sort, but the input ended";
const std::string kCountIsAbc = "error: expected how many numbers to sort, but found \"abc\"\r\n";
const std::string kAskTwo = "Enter 2 numbers:\r\n";
const std::string kAfterTwo = kAskCount + "2\r\n" + kAskTwo;  // 2 and Enter typed at the count
const std::string kSecondEnded = "error: expected number 2 of 2, " + kEnded;
const std::string kSecondIsX = "error: expected number 2 of 2, but found \"x\"\r\n";
const std::string kResults =
    "Enter 2 numbers:\n\nSorted using Bubble Sort: 3 5 \nSorted using std::sort: 3 5 \n";

INSTANTIATE_TEST_SUITE_P(
    Typed, TypedDialogue,
    ::testing::Values(
        TypedCase{"endAtTheCount", {"\x04"}, kAskCount + "\r\n" + kCountEnded + "\r\n"},
        TypedCase{"enterThenEnd", {"\n\x04"}, kAskCount + "\r\n" + kCountEnded + "\r\n"},
        TypedCase{"countThenEndTwice",
                  {"2\x04\x04"},
                  kAskCount + "2\r\n" + kAskTwo + "error: expected number 1 of 2, " + kEnded},
        TypedCase{"valuesThenEndTwice", {"2\n", "1\x04\x04"}, kAfterTwo + "1\r\n" + kSecondEnded},
        TypedCase{"spaceEnterThenEnd", {"2\n", "1 \n\x04"}, kAfterTwo + "1 \r\n" + kSecondEnded},
        TypedCase{"spaceThenEndTwice", {"2\n", "1 \x04\x04"}, kAfterTwo + "1 \r\n" + kSecondEnded},
        TypedCase{"wordThenEnter", {"abc def\n"}, kAskCount + "abc def\r\n" + kCountIsAbc},
        TypedCase{"wordThenEnd", {"2\n", "1 x y\x04"}, kAfterTwo + "1 x y\r\n" + kSecondIsX},
        TypedCase{"typedAhead", {"2 1 x y\x04"}, kAskCount + "2 1 x y\r\n" + kAskTwo + kSecondIsX},
        TypedCase{
            "linesTypedAhead", {"2\n1 x y\x04"}, kAskCount + "2\r\n1 x y" + kAskTwo + kSecondIsX},
        TypedCase{"typedAheadThenMore",
                  {"2 1 x\x04", " y\x04"},
                  kAskCount + "2 1 x\r\n" + kAskTwo + " y\r\n" + kSecondIsX},
        TypedCase{"markThenEndTwice",
                  {"\xef\xbb\xbf\x04\x04"},
                  kAskCount + "\xef\xbb\xbf\r\n" + kCountEnded + "\r\n"},
        TypedCase{"utf16MarkThenEndTwice",
                  {"\xff\xfe\x04\x04"},
                  kAskCount + "\xff\xfe\r\n" + kCountEnded + "\r\n"},
        TypedCase{
            "outputToAFile", {"\x04"}, kAskCount + "\r\n" + kCountEnded + "\r\n", 1, kAskCount},
        TypedCase{
            "resultsToAFile", {"2\n", "5 3\n"}, kAfterTwo + "5 3\r\n", 1, kAskCount + kResults, 0},
        TypedCase{"typedAheadToAFile",
                  {"2 5\x04", " 3\n"},
                  kAskCount + "2 5\r\n" + kAskTwo + " 3\r\n",
                  1,
                  kAskCount + kResults,
                  0},
        TypedCase{"errorToAFile", {"\x04"}, kAskCount, 2, kCountEnded + "\n"},
        TypedCase{"inputFromAFile", {}, kAskCount + "\r\n" + kCountIsAbc, 0, "abc"},
        TypedCase{"numbersFromAFile",
                  {},
                  kAskCount + "Enter 2 numbers:\r\n\r\nSorted using Bubble Sort: 3 5 \r\n",
                  0,
                  "2 5 3",
                  0}),
    [](const auto& info) { return std::string(info.param.name); });

// What ends the key-press wait: a key (one press however many bytes it sends, taken without
// echo) or a signal, which ends the process as it would without the wait. Either way the
// terminal's settings are put back. A signal the process ignores, or a stop nobody can continue,
// leaves the wait as it was.
struct SignalCase {
    const char* name;
    std::string typed;           // typed at the terminal, when not empty
    int sent;                    // sent with kill otherwise
    int expected;                // the signal that ends the process, 0 for an exit, -1 waits on
    bool ignoredBefore = false;  // the program is started with the signal ignored (nohup)
};

class PauseSignal : public ::testing::TestWithParam<SignalCase> {};

TEST_P(PauseSignal, EndsAsTheKeyOrSignalWouldAfterRestoringTheTerminal) {
    const SignalCase& c = GetParam();
    Launch launch;
    if (c.ignoredBefore) {
        launch.argv = {"/bin/sh", "-c", "trap '' " + std::to_string(c.sent) + "; exec \"$0\"",
                       programCommand().back()};
    }
    TerminalSession session(launch);
    ASSERT_TRUE(session.waitFor(kAskCount));
    const tcflag_t before = session.localFlags();
    ASSERT_EQ(before, ECHO | ICANON);
    session.type("2\n5 3\n");
    ASSERT_TRUE(session.waitFor("Sorted using std::sort: 3 5 \r\n" + kPrompt)) << session.screen();
    const auto waiting = [&session] {
        std::this_thread::sleep_for(300ms);
        EXPECT_TRUE(session.stillRunning()) << "the wait has ended";
        EXPECT_EQ(session.localFlags(), 0u) << "echo or line mode on during the wait";
    };
    waiting();
    if (!c.typed.empty()) {
        session.type(c.typed);
    } else {
        kill(session.pid(), c.sent);
    }
    if (c.expected < 0) {
        waiting();
        session.type("x");
    }
    const int status = session.finish();
    if (c.expected <= 0) {
        ASSERT_TRUE(WIFEXITED(status)) << status;
        EXPECT_EQ(WEXITSTATUS(status), 0);
    } else {
        ASSERT_TRUE(WIFSIGNALED(status)) << status;
        EXPECT_EQ(WTERMSIG(status), c.expected);
    }
    EXPECT_EQ(session.localFlags(), before);
    EXPECT_EQ(session.unreadInput(), 0) << "part of the key is left for the shell to read";
    const std::string& screen = session.screen();
    EXPECT_EQ(screen.substr(screen.find(kPrompt) + kPrompt.size()), c.expected > 0 ? "" : "\r\n");
}

INSTANTIATE_TEST_SUITE_P(Signals, PauseSignal,
                         ::testing::Values(SignalCase{"letter", "x", 0, 0},
                                           SignalCase{"space", " ", 0, 0},
                                           SignalCase{"endOfInputKey", "\x04", 0, 0},
                                           SignalCase{"arrow", "\x1b[A", 0, 0},
                                           SignalCase{"ctrlC", "\x03", 0, SIGINT},
                                           SignalCase{"sigterm", "", SIGTERM, SIGTERM},
                                           SignalCase{"sighup", "", SIGHUP, SIGHUP},
                                           SignalCase{"ctrlBackslash", "\x1c", 0, SIGQUIT},
                                           SignalCase{"ctrlZWithoutAShell", "\x1a", 0, -1},
                                           SignalCase{"strayContinue", "", SIGCONT, -1},
                                           SignalCase{"sighupUnderNohup", "", SIGHUP, -1, true}),
                         [](const auto& info) { return std::string(info.param.name); });

// Scripts and pipes never wait: without a terminal on standard input the pause writes nothing.
TEST(Pause, DoesNotWaitWithoutATerminal) {
    const ProcessResult result = runProcess(programCommand(), "0\n");
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_EQ(result.out.find("Press any key"), std::string::npos);
}

// The wait at a console, natively and for the Windows program under Wine (whose pause writes
// its own prompt): only with standard input and output both at the console. A file on either
// gets no prompt and nobody waits; a results file holds the dialogue alone.
struct ConsoleCase {
    const char* name;
    int redirected;  // this standard stream is a file instead of the console; -1 for none
    bool waits;
    const char* device = nullptr;  // the device it is instead of a file
};

class ConsolePause : public ::testing::TestWithParam<ConsoleCase> {};

TEST_P(ConsolePause, WaitsOnlyWithInputAndOutputAtTheConsole) {
    const ConsoleCase& c = GetParam();
    TemporaryFile file;
    std::ofstream(file.path) << (c.redirected == 0 ? "2\n5 3\n" : "");
    Launch launch;
    if (c.redirected >= 0) {
        launch.paths[c.redirected] = c.device ? c.device : file.path;
    }
    TerminalSession session(launch);
    if (c.redirected != 0) {
        // Wine's console redraws the prompt, its last space as a cursor move, and reads keys in
        // a raw mode of its own, once it has set it: typed earlier, Enter reads as Ctrl-J.
        ASSERT_TRUE(c.redirected == 1 || session.waitFor("Enter how many", 1, 60s))
            << session.screen();
        for (int k = 0; programIsWindows() && session.localFlags() != 0 && k < 300; ++k) {
            std::this_thread::sleep_for(100ms);
        }
        session.type("2\r5 3\r");
    }
    if (c.waits) {
        ASSERT_TRUE(session.waitFor("Press any key", 1, 60s)) << session.screen();
        std::this_thread::sleep_for(300ms);
        EXPECT_TRUE(session.stillRunning()) << "the wait has ended";
        session.type("x");
    }
    const int status = session.finish(60s);
    ASSERT_TRUE(WIFEXITED(status)) << session.screen();
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_EQ(session.count("Press any key"), c.waits ? 1 : 0) << session.screen();
    std::ifstream written(file.path);
    std::string text(std::istreambuf_iterator<char>(written), {});
    std::erase(text, '\r');
    // Wine may write notes of its own to standard error: there, only that none is ours.
    if (c.redirected == 2) {
        EXPECT_EQ(text.find("error: "), std::string::npos) << text;
    } else if (c.redirected >= 0 && !c.device) {
        EXPECT_EQ(text, c.redirected == 0 ? "2\n5 3\n" : kAskCount + kResults);
    }
}

INSTANTIATE_TEST_SUITE_P(Streams, ConsolePause,
                         ::testing::Values(ConsoleCase{"console", -1, true},
                                           ConsoleCase{"inputFromAFile", 0, false},
                                           ConsoleCase{"outputToAFile", 1, false},
                                           // a character device, but no console
                                           ConsoleCase{"outputToNul", 1, false, "/dev/null"},
                                           ConsoleCase{"errorToAFile", 2, true}),
                         [](const auto& info) { return std::string(info.param.name); });

// Ctrl-Z at the wait, then fg, twice (the second time by way of bg), in an interactive shell:
// stopped, the shell gets its terminal back as it was; in the background the wait leaves the
// terminal alone; continued in the foreground, the prompt is shown again, once, and one
// unechoed key without Enter ends it. Stopped during a long sort and sent to the background with
// bg, the program draws no progress line in the background, reaches the wait there, leaves the
// terminal alone and shows the prompt once, after fg. A signal that ends a process ends it at the
// wait stopped or in the background too, with the shell's settings as they were.
struct JobControlCase {
    const char* name;
    std::vector<std::string> shell;
    bool duringTheSort;
    std::string ended = "";  // what the shell runs after Ctrl-Z at the wait to end the job
};

class PauseJobControl : public ::testing::TestWithParam<JobControlCase> {};

TEST_P(PauseJobControl, GivesTheShellItsTerminalAndWaitsAgainAfterFg) {
    const JobControlCase& c = GetParam();
    TerminalSession shell(interactiveShell(c.shell));
    ASSERT_TRUE(shell.waitFor("$ "));
    const tcflag_t before = shell.localFlags();
    shell.type(programCommand().back() + "\n");
    ASSERT_TRUE(shell.waitFor(kAskCount));
    int shellPrompts = 1;
    int prompts = 1;
    if (c.duringTheSort) {
        const int n = slowSort().n;
        shell.type(std::to_string(n) + "\n");
        ASSERT_TRUE(shell.waitFor(" numbers:\r\n"));
        shell.type(zeroLines(n, "\n"));
        ASSERT_TRUE(shell.waitFor("\rsorting ", 1, 60s)) << tail(shell.screen());
        shell.type("\x1a");
        ASSERT_TRUE(shell.waitFor("$ ", 2)) << tail(shell.screen());
        shell.type("bg\n");
        ASSERT_TRUE(shell.waitFor("Sorted using std::sort: ", 1, 300s)) << tail(shell.screen());
        const std::string& screen = shell.screen();
        const std::size_t inTheBackground = screen.rfind("bg\r\n");
        EXPECT_EQ(screen.find('\r', screen.find('\n', inTheBackground + 4)),
                  screen.find("\r\nSorted using Bubble Sort"))
            << "drawn or erased in the background: " << tail(screen);
        shell.waitForQuiet();
        EXPECT_EQ(shell.localFlags(), before) << "changed in the background";
        shell.type("fg\n");
        ASSERT_TRUE(shell.waitFor(kPrompt)) << tail(shell.screen());
        EXPECT_EQ(shell.localFlags(), 0u) << "echo or line mode on after fg";
        shellPrompts = 3;
    } else if (!c.ended.empty()) {
        shell.type("2\n5 3\n");
        ASSERT_TRUE(shell.waitFor(kPrompt));
        shell.type("\x1a");
        ASSERT_TRUE(shell.waitFor("$ ", 2)) << shell.screen();
        // The shell's settings change meanwhile: the job must leave them as the shell has them.
        shell.type("stty -echo; " + c.ended +
                   "; for i in 1 2 3 4 5 6 7 8; do kill -0 %1 2>/dev/null && sleep 0.5; done;"
                   " kill -0 %1 2>/dev/null || echo ended$((6*7))\n");
        ASSERT_TRUE(shell.waitFor("ended42")) << "the job lives on: " << tail(shell.screen());
        EXPECT_EQ(shell.localFlags(), before & ~ECHO) << "the job changed the shell's settings";
        EXPECT_EQ(shell.count(kPrompt), 1);
        return;
    } else {
        shell.type("2\n5 3\n");
        ASSERT_TRUE(shell.waitFor(kPrompt));
        for (int stops = 1; stops <= 2; ++stops) {
            shell.type("\x1a");
            ASSERT_TRUE(shell.waitFor("$ ", 2 * stops)) << shell.screen();
            EXPECT_EQ(shell.localFlags(), before) << "the shell got the terminal changed";
            shell.type(stops == 1 ? "\n" : "bg\n");
            ASSERT_TRUE(shell.waitFor("$ ", 2 * stops + 1)) << shell.screen();
            std::this_thread::sleep_for(300ms);
            EXPECT_EQ(shell.localFlags(), before) << "changed in the background";
            shell.type("fg\n");
            ASSERT_TRUE(shell.waitFor(kPrompt, 1 + stops)) << shell.screen();
            EXPECT_EQ(shell.localFlags(), 0u) << "echo or line mode back on after fg";
        }
        shellPrompts = 5;
        prompts = 3;
    }
    shell.type("x");
    ASSERT_TRUE(shell.waitFor("$ ", shellPrompts + 1)) << "the key did not end the wait:\n"
                                                       << tail(shell.screen());
    shell.type("echo status $?\n");
    ASSERT_TRUE(shell.waitFor("status 0"));
    const std::string& screen = shell.screen();
    EXPECT_EQ(screen.substr(screen.rfind(kPrompt) + kPrompt.size(), 4), "\r\n$ ") << "echoed";
    EXPECT_EQ(shell.count(kPrompt), prompts);
}

INSTANTIATE_TEST_SUITE_P(
    Shells, PauseJobControl,
    ::testing::Values(
        JobControlCase{"bash", kBash, false}, JobControlCase{"dash", kDash, false},
        JobControlCase{"bgDuringTheSort", kBash, true},
        JobControlCase{"termWhenStopped", kBash, false, "kill %1"},
        JobControlCase{"hupInTheBackground", kBash, false, "bg; kill -HUP %1"},
        JobControlCase{"intInTheBackground", kBash, false, "bg; kill -INT %1; kill -CONT %1"},
        JobControlCase{"quitWhenStopped", kBash, false, "kill -QUIT %1; kill -CONT %1"}),
    [](const auto& info) { return std::string(info.param.name); });

// A background process whose terminal reads fail (EIO: stopping it for input is not allowed)
// gets an error line and does not wait for a key it can never read.
TEST(PauseInTheBackground, EndsWhenTheTerminalCannotBeRead) {
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
// erases it before the results. It is drawn and erased with carriage returns and blanks, never an
// escape sequence. Below numbers typed and ended without Enter (Ctrl-D twice) it starts on the
// next screen line, so the screen is the same as after Enter; otherwise the screen is left as
// without it. In a narrow window it stays short of the last column. Standard error on a pipe
// gets no byte of it.
struct ProgressCase {
    const char* name;
    const char* typedEnd;  // what ends the typed numbers; nullptr: they come from a file
    unsigned short columns = 0;
};

class ProgressShown : public ::testing::TestWithParam<ProgressCase> {};

TEST_P(ProgressShown, AfterTheNumbersAndErasedBeforeTheResults) {
    const ProgressCase& c = GetParam();
    const SlowSort& slow = slowSort();
    const std::string n = std::to_string(slow.n);
    std::string shown = slow.screen;
    std::string countEcho;
    std::string numbersEcho;
    if (c.typedEnd != nullptr) {
        TerminalSession session;
        if (c.columns > 0) {
            session.resize(c.columns);
        }
        ASSERT_TRUE(session.waitFor(kAskCount));
        session.type(n + "\n");
        ASSERT_TRUE(session.waitFor(" numbers:\r\n"));
        session.type(zeroLines(slow.n, c.typedEnd));
        ASSERT_TRUE(session.waitFor(kPrompt, 1, 300s)) << tail(session.screen());
        session.type("x");
        session.finish();
        shown = session.screen();
        countEcho = n + "\r\n";
        numbersEcho = zeroLines(slow.n, "\r\n", "\r\n");
    } else {
        EXPECT_EQ(runProcess(programCommand(), n + "\n" + zeroLines(slow.n, "\n")).err, "");
    }
    EXPECT_EQ(shown.find('\x1b'), std::string::npos) << "an escape sequence";

    // The status lines follow the prompts and the numbers; what each says and when it is drawn
    // is the unit tests' business. The last one is covered with as many blanks as it has
    // characters, and the results follow.
    const std::size_t first = shown.find("\rsorting");
    ASSERT_NE(first, std::string::npos) << "no progress line";
    const std::string expected =
        kAskCount + countEcho + "Enter " + n + " numbers:\r\n" + numbersEcho;
    EXPECT_TRUE(shown.compare(0, first, expected) == 0)
        << "before the progress line: ..." << tail(shown.substr(0, first)) << "\ninstead of ..."
        << tail(expected);
    const std::string label = "\r\nSorted using Bubble Sort: 0 0 ";
    const std::size_t last = shown.rfind("\rsorting", shown.find(label));
    const std::string drawn = shown.substr(last + 1, shown.find('\r', last + 1) - last - 1);
    const std::string erased =
        '\r' + drawn + '\r' + std::string(drawn.find_last_not_of(' ') + 1, ' ') + '\r' + label;
    EXPECT_EQ(shown.substr(last, erased.size()), erased);
    for (std::size_t at = first; c.columns > 0 && at < last; at = shown.find('\r', at + 1)) {
        const std::size_t end = shown.find('\r', at + 1);
        EXPECT_LT(end - at - 1, c.columns) << "wraps: " << shown.substr(at + 1, end - at - 1);
    }
}

INSTANTIATE_TEST_SUITE_P(Sorts, ProgressShown,
                         ::testing::Values(ProgressCase{"numbersFromAFile", nullptr},
                                           ProgressCase{"typedWithEnter", "\n"},
                                           ProgressCase{"typedEndedMidLine", "\x04\x04"},
                                           ProgressCase{"narrowWindow", "\n", 30}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
