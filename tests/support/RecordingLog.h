#pragma once

#include "log/LogSink.h"

#include <string>

namespace quorlan::testing {

// Keeps every piece of log text in one string.
struct RecordingLog : LogSink {
    std::string text;
    void appendToLog(const std::string &piece) override { text += piece; }
};

} // namespace quorlan::testing
