#pragma once

// quorlan-bench started in the background, its standard output read through a pipe and its
// standard error through a pipe or a pseudo-terminal, so that a test can wait for what it prints,
// send it signals and take its exit status.

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <poll.h>
#include <string>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>
#include <vector>

namespace quorlan::testing {

class BenchProcess {
public:
    // Runs in folder (the test's own when empty). With terminal, standard error is a raw
    // pseudo-terminal: the program sees a terminal and its bytes arrive unchanged.
    explicit BenchProcess(const std::vector<std::string> &arguments, const std::string &folder = "",
                          bool terminal = false) {
        int out[2];
        int err[2];
        if (::pipe2(out, O_CLOEXEC) != 0 ||
            (terminal ? !openTerminal(err) : ::pipe2(err, O_CLOEXEC) != 0))
            return;
        pid_ = ::fork();
        if (pid_ == 0) {
            ::dup2(out[1], STDOUT_FILENO);
            ::dup2(err[1], STDERR_FILENO);
            std::vector<char *> argv{const_cast<char *>(QUORLAN_BENCH_EXE)};
            for (const std::string &argument : arguments)
                argv.push_back(const_cast<char *>(argument.c_str()));
            argv.push_back(nullptr);
            if (folder.empty() || ::chdir(folder.c_str()) == 0)
                ::execv(QUORLAN_BENCH_EXE, argv.data());
            ::_exit(127);
        }
        ::close(out[1]);
        ::close(err[1]);
        fds_[0] = out[0];
        fds_[1] = err[0];
    }
    ~BenchProcess() {
        if (pid_ > 0 && !finished_) {
            ::kill(pid_, SIGKILL);
            finish();
        }
    }
    BenchProcess(const BenchProcess &) = delete;
    BenchProcess &operator=(const BenchProcess &) = delete;

    std::string out; // what it printed so far
    std::string err;

    // Reads until text shows in the standard output (or error), the process ends or ten seconds
    // pass; true when the text showed.
    bool waitForOutput(const std::string &text, bool onError = false) {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        const std::string &seen = onError ? err : out;
        while (seen.find(text) == std::string::npos) {
            if (std::chrono::steady_clock::now() > deadline || !readSome(100))
                return false;
        }
        return true;
    }

    void signal(int number) const { ::kill(pid_, number); }

    // Reads everything left and waits for the end; the wait status.
    int finish() {
        while (readSome(1000)) {
        }
        int status = 0;
        while (::waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
        }
        finished_ = true;
        return status;
    }

    // The exit status, or -1 when the program did not exit (a signal ended it).
    int exitStatus() {
        const int status = finish();
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

private:
    static bool openTerminal(int ends[2]) {
        ends[0] = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
        if (ends[0] < 0 || ::grantpt(ends[0]) != 0 || ::unlockpt(ends[0]) != 0)
            return false;
        ends[1] = ::open(::ptsname(ends[0]), O_RDWR | O_NOCTTY | O_CLOEXEC);
        termios mode{};
        if (ends[1] < 0 || ::tcgetattr(ends[1], &mode) != 0)
            return false;
        ::cfmakeraw(&mode);
        return ::tcsetattr(ends[1], TCSANOW, &mode) == 0;
    }

    // One poll of what is still open; false once both ends are closed. A pseudo-terminal
    // answers EIO once the program has ended.
    bool readSome(int milliseconds) {
        pollfd polls[2] = {{fds_[0], POLLIN, 0}, {fds_[1], POLLIN, 0}};
        if (fds_[0] < 0 && fds_[1] < 0)
            return false;
        if (::poll(polls, 2, milliseconds) <= 0)
            return true;
        for (int i = 0; i < 2; ++i) {
            if (fds_[i] < 0 || polls[i].revents == 0)
                continue;
            char buffer[4096];
            const ssize_t n = ::read(fds_[i], buffer, sizeof buffer);
            if (n > 0) {
                (i == 0 ? out : err).append(buffer, static_cast<std::size_t>(n));
            } else {
                ::close(fds_[i]);
                fds_[i] = -1;
            }
        }
        return true;
    }

    pid_t pid_ = -1;
    int fds_[2] = {-1, -1};
    bool finished_ = false;
};

} // namespace quorlan::testing
