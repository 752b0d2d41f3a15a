#pragma once

// quorlan-bench started in the background, its standard output and error read through pipes, so
// that a test can wait for what it prints and send it signals.

#include <chrono>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace quorlan::testing {

class BenchProcess {
public:
    explicit BenchProcess(const std::vector<std::string> &arguments) {
        int out[2];
        int err[2];
        if (::pipe2(out, O_CLOEXEC) != 0 || ::pipe2(err, O_CLOEXEC) != 0)
            return;
        pid_ = ::fork();
        if (pid_ == 0) {
            ::dup2(out[1], STDOUT_FILENO);
            ::dup2(err[1], STDERR_FILENO);
            std::vector<char *> argv{const_cast<char *>(QUORLAN_BENCH_EXE)};
            for (const std::string &argument : arguments)
                argv.push_back(const_cast<char *>(argument.c_str()));
            argv.push_back(nullptr);
            ::execv(QUORLAN_BENCH_EXE, argv.data());
            ::_exit(127);
        }
        ::close(out[1]);
        ::close(err[1]);
        out_ = out[0];
        err_ = err[0];
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

    // Reads both pipes until text shows in the standard output (or error), the process ends or
    // ten seconds pass; true when the text showed.
    bool waitForOutput(const std::string &text, bool onError = false) {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        const std::string &seen = onError ? err : out;
        while (seen.find(text) == std::string::npos) {
            if (std::chrono::steady_clock::now() > deadline || !readSome(100))
                return seen.find(text) != std::string::npos;
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
        ::close(out_);
        ::close(err_);
        return status;
    }

private:
    // One poll of both pipes; false once both are at their end.
    bool readSome(int milliseconds) {
        pollfd fds[2] = {{out_, POLLIN, 0}, {err_, POLLIN, 0}};
        const int open = (out_ >= 0) + (err_ >= 0);
        if (open == 0)
            return false;
        if (::poll(fds, 2, milliseconds) <= 0)
            return true;
        bool any = false;
        for (int i = 0; i < 2; ++i) {
            if (fds[i].fd < 0 || fds[i].revents == 0)
                continue;
            char buffer[4096];
            const ssize_t n = ::read(fds[i].fd, buffer, sizeof buffer);
            if (n > 0) {
                (i == 0 ? out : err).append(buffer, static_cast<std::size_t>(n));
                any = true;
            } else if (n == 0) {
                ::close(fds[i].fd);
                (i == 0 ? out_ : err_) = -1;
            }
        }
        return any || (out_ >= 0 || err_ >= 0);
    }

    pid_t pid_ = -1;
    int out_ = -1;
    int err_ = -1;
    bool finished_ = false;
};

} // namespace quorlan::testing
