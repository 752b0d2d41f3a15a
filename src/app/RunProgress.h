#pragma once

#include "bench/ProgressSink.h"

#include <mutex>
#include <optional>

namespace quorlan {

// Keeps the latest progress of a running test for the window, which looks at it on a timer, so
// a test of many small files never waits on the window.
class RunProgress final : public ProgressSink {
public:
    void fileStarted(const Progress &progress) override; // the test's thread
    void clear();
    // The latest progress if it changed since the last call.
    std::optional<Progress> takeChange();

private:
    std::mutex mutex_;
    Progress latest_;
    bool changed_ = false;
};

} // namespace quorlan
