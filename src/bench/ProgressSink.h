#pragma once

#include <cstdint>
#include <string>

namespace quorlan {

// Where a running multi-file test is: pass k of n, file i of m (m is 0 while a folder walk does
// not know its count), the file's path and its size in bytes.
struct Progress {
    std::int64_t pass = 0;
    std::int64_t passes = 0;
    std::int64_t file = 0;
    std::int64_t files = 0;
    std::string path;
    std::int64_t bytes = 0;
};

// Optional observer of a running test; called on the test's thread before each file.
class ProgressSink {
public:
    virtual ~ProgressSink() = default;
    virtual void fileStarted(const Progress &progress) = 0;
};

} // namespace quorlan
