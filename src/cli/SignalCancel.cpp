#include "cli/SignalCancel.h"

#include "bench/CancelToken.h"

#include <atomic>
#include <unistd.h>

namespace quorlan {

namespace {

// What the handler may touch: a lock-free atomic and a sig_atomic_t, nothing that allocates.
static_assert(std::atomic<bool>::is_always_lock_free);
CancelToken *cancelToken = nullptr;
volatile std::sig_atomic_t firstSignal = 0;
bool onTerminal = false; // standard error is a terminal, which may show a progress line

void onSignal(int number) {
    if (firstSignal != 0) {
        ::signal(number, SIG_DFL);
        ::raise(number); // delivered as soon as this handler returns: the program ends
        return;
    }
    firstSignal = number;
    if (cancelToken)
        cancelToken->cancel();
    static const char notice[] = "\r\033[Kquorlan-bench: stopping after the file in progress; a "
                                 "second Ctrl-C stops at once\n";
    const std::size_t skipped = onTerminal ? 0 : 4; // the erasing of the progress line
    [[maybe_unused]] const ssize_t written =
        ::write(STDERR_FILENO, notice + skipped, sizeof notice - 1 - skipped);
}

} // namespace

SignalCancel::SignalCancel(CancelToken &token) {
    cancelToken = &token;
    firstSignal = 0;
    onTerminal = ::isatty(STDERR_FILENO) != 0;
    struct sigaction action {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    sigaddset(&action.sa_mask, SIGINT);
    sigaddset(&action.sa_mask, SIGTERM);
    action.sa_flags = SA_RESTART;
    ::sigaction(SIGINT, &action, &previousInterrupt_);
    ::sigaction(SIGTERM, &action, &previousTerminate_);
}

SignalCancel::~SignalCancel() {
    ::sigaction(SIGINT, &previousInterrupt_, nullptr);
    ::sigaction(SIGTERM, &previousTerminate_, nullptr);
    cancelToken = nullptr;
}

int SignalCancel::received() const {
    return firstSignal;
}

} // namespace quorlan
