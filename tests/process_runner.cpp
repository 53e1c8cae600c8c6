#include "process_runner.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <stdexcept>

extern char** environ;

namespace {

void check(bool ok, const char* what) {
    if (!ok) {
        throw std::runtime_error(std::string(what) + " failed: errno " + std::to_string(errno));
    }
}

void setNonBlocking(int fd) {
    check(fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK) == 0, "fcntl");
}

}  // namespace

ProcessResult runProcess(const std::vector<std::string>& argv, const std::string& input,
                         const std::string& stdoutPath, int timeoutSeconds) {
    // The child may stop reading early; a write into its closed pipe must not end the test.
    signal(SIGPIPE, SIG_IGN);

    int in[2], out[2], err[2];
    check(pipe(in) == 0 && pipe(out) == 0 && pipe(err) == 0, "pipe");

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, in[0], STDIN_FILENO);
    if (stdoutPath.empty()) {
        posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    } else {
        posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, stdoutPath.c_str(), O_WRONLY, 0);
    }
    posix_spawn_file_actions_adddup2(&actions, err[1], STDERR_FILENO);
    for (int fd : {in[0], in[1], out[0], out[1], err[0], err[1]}) {
        posix_spawn_file_actions_addclose(&actions, fd);
    }

    std::vector<char*> args;
    for (const std::string& arg : argv) {
        args.push_back(const_cast<char*>(arg.c_str()));
    }
    args.push_back(nullptr);
    pid_t pid = 0;
    const int spawned = posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(in[0]);
    close(out[1]);
    close(err[1]);
    if (spawned != 0) {
        errno = spawned;
        check(false, "posix_spawnp");
    }

    setNonBlocking(in[1]);
    ProcessResult result;
    std::size_t written = 0;
    int inFd = in[1];
    if (input.empty()) {
        close(inFd);
        inFd = -1;
    }
    int readFds[2] = {out[0], err[0]};
    std::string* sinks[2] = {&result.out, &result.err};
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(timeoutSeconds);

    // Once the child has exited, what is left in the pipes is read until they fall quiet: a
    // helper process the child started (as an emulator's server may be) can hold them open.
    int status = 0;
    bool exited = false;
    while (inFd >= 0 || readFds[0] >= 0 || readFds[1] >= 0) {
        if (!exited && waitpid(pid, &status, WNOHANG) == pid) {
            exited = true;
        }
        if (std::chrono::steady_clock::now() > deadline) {
            kill(pid, SIGKILL);
            result.timedOut = true;
            break;
        }
        pollfd fds[3] = {{inFd, POLLOUT, 0}, {readFds[0], POLLIN, 0}, {readFds[1], POLLIN, 0}};
        const int ready = poll(fds, 3, exited ? 300 : 100);
        if (ready < 0 && errno != EINTR) {
            check(false, "poll");
        }
        if (ready == 0 && exited) {
            break;
        }
        if (inFd >= 0 && (fds[0].revents & (POLLOUT | POLLERR | POLLHUP))) {
            const ssize_t n = write(inFd, input.data() + written, input.size() - written);
            if (n > 0) {
                written += static_cast<std::size_t>(n);
            }
            if ((n < 0 && errno != EAGAIN) || written == input.size()) {
                close(inFd);
                inFd = -1;
            }
        }
        for (int k = 0; k < 2; ++k) {
            if (readFds[k] >= 0 && (fds[k + 1].revents & (POLLIN | POLLHUP | POLLERR))) {
                char chunk[65536];
                const ssize_t n = read(readFds[k], chunk, sizeof chunk);
                if (n > 0) {
                    sinks[k]->append(chunk, static_cast<std::size_t>(n));
                } else if (n == 0 || errno != EINTR) {
                    close(readFds[k]);
                    readFds[k] = -1;
                }
            }
        }
    }
    for (int fd : {inFd, readFds[0], readFds[1]}) {
        if (fd >= 0) {
            close(fd);
        }
    }

    while (!exited && waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    if (WIFEXITED(status)) {
        result.exitCode = WEXITSTATUS(status);
    } else if (WIFSIGNALED(status)) {
        result.signal = WTERMSIG(status);
    }
    return result;
}

std::vector<std::string> programCommand() {
    std::vector<std::string> command;
    if (const char* runner = std::getenv("SORTDEMO_RUNNER"); runner && *runner) {
        command.emplace_back(runner);
    }
    const char* program = std::getenv("SORTDEMO_PROGRAM");
    if (!program || !*program) {
        throw std::runtime_error("SORTDEMO_PROGRAM is not set");
    }
    command.emplace_back(program);
    return command;
}

bool programIsEmulated() {
    const char* runner = std::getenv("SORTDEMO_RUNNER");
    return runner && *runner;
}

bool programIsWindows() {
    const std::string program = programCommand().back();
    return program.size() > 4 && program.compare(program.size() - 4, 4, ".exe") == 0;
}
