#pragma once

#include "log/LogSink.h"

#include <QString>

#include <mutex>

namespace quorlan {

// The log sink of a running test: appends from the test's thread are kept in order until the
// window takes them all at once and shows them in one edit.
class LogQueue final : public LogSink {
public:
    // Any thread. Invalid UTF-8 (a file name with odd bytes) shows as U+FFFD.
    void appendToLog(const std::string &text) override;
    // Everything appended since the last call, in order; empty when nothing is waiting.
    QString take();

private:
    std::mutex mutex_;
    QString pending_;
};

} // namespace quorlan
