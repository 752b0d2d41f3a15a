// The timed primitives with one step failing, interrupted or answering otherwise, against the
// cases and outcomes of injected-faults.txt (its first lines tell how to read it): the time they
// give, how an uncached read met the cache and every call in order, which shows whether the
// failing call was reached and how often an interrupted one was made again. No descriptor is left
// open, and a write that is measured leaves exactly its bytes.
#include "../support/FaultySysCalls.h"
#include "../support/GoldenMatch.h"
#include "../support/TempFolder.h"

#include "bench/ResultsExport.h"
#include "bench/TestBuffer.h"
#include "bench/Timebase.h"
#include "bench/TimedIo.h"

#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <sstream>

using namespace quorlan;
using namespace quorlan::testing;

namespace {

// One case line's words before "=>": the faults and answers go to calls.
struct FaultCase {
    std::string primitive;
    std::int64_t before = 10000; // the file's size before the call; -1: no file
    std::int64_t length = 10000; // bytes written, or read from offset
    std::int64_t offset = 0;
};

FaultCase readCase(const std::string &words, FaultySysCalls &calls) {
    static const std::map<std::string, int> errors = {
        {"0", 0}, {"EIO", EIO}, {"ENOSPC", ENOSPC}, {"EINVAL", EINVAL}, {"EINTR", EINTR}};
    std::istringstream in(words);
    FaultCase c;
    in >> c.primitive;
    for (std::string word; in >> word;) {
        const std::string key = word.substr(0, word.find('='));
        std::istringstream value(word.substr(word.find('=') + 1));
        if (key == "fault") {
            Fault fault;
            std::string error;
            std::getline(value, fault.call, ':');
            char colon = 0;
            value >> fault.first >> colon >> fault.every >> colon >> error;
            fault.error = errors.at(error);
            calls.faults.push_back(fault);
        } else if (key == "direct-refused")
            calls.refuseDirect = true;
        else if (key == "eintr")
            value >> calls.eintrEverywhere;
        else if (key == "before")
            value >> c.before;
        else if (key == "length")
            value >> c.length;
        else if (key == "offset")
            value >> c.offset;
        else
            ADD_FAILURE() << "unknown word " << word;
    }
    return c;
}

// Runs the primitive on path, where a file of c.before bytes was made first.
double run(const FaultCase &c, TimedIo &io, const std::string &path) {
    const TestBuffer data = makeTestData(c.length, 'A');
    if (c.before >= 0)
        writeFile(path, c.before);
    return c.primitive == "read"            ? io.timedRead(path, c.offset, c.length)
           : c.primitive == "uncached-read" ? io.timedUncachedRead(path)
           : c.primitive == "write"         ? io.timedWrite(path, data.bytes())
                                            : io.timedWholeWrite(path, data.bytes());
}

} // namespace

TEST(InjectedFault, EachStepGivesItsSentinelAndLeavesNoDescriptorOpen) {
    const TempFolder scratch;
    const int descriptors = openDescriptorCount();
    std::istringstream lines(readFixture("injected-faults.txt"));
    std::string outcomes;
    int row = 0;
    for (std::string line; std::getline(lines, line); outcomes += line + "\n") {
        if (line.empty() || line[0] == '#')
            continue;
        SCOPED_TRACE(line);
        line = line.substr(0, line.find(" =>"));
        FaultySysCalls calls;
        calls.maxTransfer = 4096;
        const FaultCase c = readCase(line, calls);
        const Timebase base{1, 1};
        TimedIo io(calls, base);
        const std::string path = scratch.path() + "/f" + std::to_string(row++);
        const double time = run(c, io, path);
        if (time > 0 && c.primitive.ends_with("write")) {
            EXPECT_EQ(fileContents(path), std::string(static_cast<std::size_t>(c.length), 'A'));
        }
        line += " => " + std::to_string(std::lround(time * 1e9)) + " ns, " +
                cacheModeName(io.lastCacheMode()) + ",";
        for (const std::string &name : calls.calls)
            line += " " + name;
        EXPECT_EQ(openDescriptorCount(), descriptors);
        EXPECT_EQ(calls.strayCloses, 0);
    }
    EXPECT_GE(row, 40);
    EXPECT_TRUE(matchesSnapshot(outcomes, "injected-faults.txt"));
}
