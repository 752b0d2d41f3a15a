#pragma once

#include <csignal>

namespace quorlan {

class CancelToken;

// Ctrl-C (SIGINT) and SIGTERM during a command-line run, for the life of the object (one at a
// time). The first of them cancels token, as the window's Cancel does: a multi-file test ends
// after the file in progress, with its report, path line and footer; a single-file test finishes
// its one request. A line on standard error says so. A second signal ends the program at once,
// killed by that signal, as if it had never been caught.
class SignalCancel {
public:
    explicit SignalCancel(CancelToken &token);
    ~SignalCancel();
    SignalCancel(const SignalCancel &) = delete;
    SignalCancel &operator=(const SignalCancel &) = delete;

    // The first signal that arrived, 0 while none has.
    int received() const;

private:
    struct sigaction previousInterrupt_ {};
    struct sigaction previousTerminate_ {};
};

} // namespace quorlan
