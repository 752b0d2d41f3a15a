#pragma once

#include <atomic>

namespace quorlan {

// Set from any thread; a running test looks at it between files.
class CancelToken {
public:
    void cancel() { cancelled_.store(true); }
    void clear() { cancelled_.store(false); }
    bool cancelled() const { return cancelled_.load(); }

private:
    std::atomic<bool> cancelled_{false};
};

} // namespace quorlan
