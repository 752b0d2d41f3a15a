#pragma once

#include <string>

namespace quorlan {

// The one way text reaches the log. Text is UTF-8 (file names are passed through byte for byte).
class LogSink {
public:
    virtual ~LogSink() = default;
    virtual void appendToLog(const std::string &text) = 0;
};

} // namespace quorlan
