#pragma once

#include <cstdint>
#include <string>

namespace quorlan {

// Where a running multi-file test is: pass k of n, file i of m (m is 0 while a folder walk does
// not know its count), the file's path and its size in bytes (0 when not known before reading).
// The mixed test's writes come first, as pass 0 with writePhase set; passes is then already the
// number of read passes that follow.
struct Progress {
    std::int64_t pass = 0;
    std::int64_t passes = 0;
    std::int64_t file = 0;
    std::int64_t files = 0;
    std::string path;
    std::int64_t bytes = 0;
    // Bytes of the whole pass and of its files before this one; passBytes is 0 when unknown.
    std::int64_t passBytes = 0;
    std::int64_t bytesBefore = 0;
    bool writePhase = false;
};

// What a test is about to write, told before the first file of the writes it covers: the whole
// test, or one pass of random sizes (whose sizes are drawn when the pass begins).
struct WritePlan {
    std::string path;          // the file written, or the folder the files go into
    std::int64_t bytes = 0;    // the bytes to be written
    std::int64_t replaced = 0; // bytes the volume holds now for files of the names to be written,
                               // which the writes empty first
    std::int64_t pass = 0;     // the random pass the plan covers; 0 for the whole test
};

// Optional observer of a running test; called on the test's thread.
class ProgressSink {
public:
    virtual ~ProgressSink() = default;
    // Before each file.
    virtual void fileStarted(const Progress &progress) = 0;
    // Before a single write, and before the first file of a multi-file write phase.
    virtual void writesPlanned(const WritePlan &) {}
};

} // namespace quorlan
