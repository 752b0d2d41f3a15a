// The timed primitives with one step failing, interrupted or answering otherwise, against a
// snapshot: the time they give (FaultySysCalls' ticks are 500 ns apart; -1e9 is failedTime), how
// an uncached read met the cache and every call in order (which shows whether the failing call
// was reached and how often an interrupted one was made again); no descriptor is left open.
#include "../support/FaultySysCalls.h"
#include "../support/GoldenMatch.h"
#include "../support/TempFolder.h"

#include "bench/ResultsExport.h"
#include "bench/TestBuffer.h"
#include "bench/Timebase.h"
#include "bench/TimedIo.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace quorlan;
using namespace quorlan::testing;

namespace {

// The file of most rows: with transfers capped at 4096 bytes, 10000 bytes take three calls
// (4096, 4096, 1808), so a fault can hit the first, a middle or the last one.
constexpr std::int64_t fileSize = 10000;

enum class Primitive { Read, UncachedRead, Write, WholeWrite };

struct FaultCase {
    Primitive primitive;
    std::vector<Fault> faults;
    bool refuseDirect = false;      // the direct open is refused: the uncached read reads plainly
    int interruptions = 0;          // every call fails this many times with EINTR first
    std::int64_t before = fileSize; // the file's size before the call; -1: no file
    std::int64_t length = fileSize; // bytes written, or read from offset
    std::int64_t offset = 0;
};

using P = Primitive;

// Runs the primitive on path, where a file of c.before bytes was made first.
double run(const FaultCase &c, TimedIo &io, const std::string &path) {
    const TestBuffer data = makeTestData(c.length, 'A');
    if (c.before >= 0)
        writeFile(path, c.before);
    return c.primitive == P::Read           ? io.timedRead(path, c.offset, c.length)
           : c.primitive == P::UncachedRead ? io.timedUncachedRead(path)
           : c.primitive == P::Write        ? io.timedWrite(path, data.bytes())
                                            : io.timedWholeWrite(path, data.bytes());
}

// The sentinels: failedTime from timedRead, timedUncachedRead and timedWrite, 0.0 from
// timedWholeWrite, and 0.0 for a read that ends short or finds nothing. Steps before the
// uncached read's interval only change how it bypasses the cache, so it is still measured.
const std::vector<FaultCase> faultCases = {
    {P::Read, {{"open", 1, 0, EIO}}},
    {P::Read, {{"lseek", 1, 0, EIO}}},
    {P::Read, {{"read", 2, 0, EIO}}},
    {P::Read, {{"read", 3, 0, 0}}},
    {P::Read, {{"syncFileData", 1, 0, EIO}}},
    {P::Read, {{"close", 1, 0, EIO}}},
    {P::Read, {{"fsync", 1, 0, EIO}}}, // a read syncs its data

    {P::UncachedRead, {{"open", 1, 0, EIO}}},
    {P::UncachedRead, {{"fstat", 1, 0, EIO}}},
    {P::UncachedRead, {{"close", 1, 0, EIO}}},
    {P::UncachedRead, {{"open-direct", 1, 0, EIO}}},
    {P::UncachedRead, {{"open", 2, 0, EIO}}, true},
    {P::UncachedRead, {{"read", 1, 0, EIO}}},
    {P::UncachedRead, {{"read", 1, 0, 0}}, true},
    {P::UncachedRead, {{"close", 2, 0, EIO}}},
    // O_DIRECT opened but its reads refused: the flag is cleared and the read goes on plainly.
    {P::UncachedRead, {{"read", 1, 0, EINVAL}}},
    {P::UncachedRead, {{"read", 1, 0, EINVAL}, {"clearDirect", 1, 0, EIO}}},
    // Pages that could not be written back or dropped leave a plain read not bypassed; O_DIRECT
    // bypasses the cache all the same.
    {P::UncachedRead, {}, true},
    {P::UncachedRead, {{"fsync", 1, 0, EIO}}, true},
    {P::UncachedRead, {{"dropCache", 1, 0, EIO}}, true},
    {P::UncachedRead, {{"dropCache", 1, 0, EIO}}},

    {P::Write, {{"open-create", 1, 0, ENOSPC}}},
    {P::Write, {{"write", 2, 0, EIO}}},
    {P::Write, {{"write", 1, 0, 0}}},
    {P::Write, {{"fsync", 1, 0, EIO}}},
    {P::Write, {{"close", 1, 0, EIO}}},
    {P::Write, {{"syncFileData", 1, 0, EIO}}},

    {P::WholeWrite, {{"open-create", 1, 0, EIO}}},
    {P::WholeWrite, {{"write", 2, 0, ENOSPC}}},
    {P::WholeWrite, {{"write", 1, 0, 0}}},
    {P::WholeWrite, {{"close", 1, 0, EIO}}},
    {P::WholeWrite, {{"fsync", 1, 0, EIO}}},

    // Every call but close is made again when interrupted, until it goes through; a close that
    // reports EINTR has released its descriptor and counts as done.
    {P::Read, {}, false, 3},
    {P::UncachedRead, {}, false, 3},
    {P::Write, {}, false, 3},
    {P::WholeWrite, {}, false, 3},
    // The fourth attempt is the first past the interruptions: the flag is cleared, interrupted.
    {P::UncachedRead, {{"read", 4, 0, EINVAL}}, false, 3},
    {P::Read, {{"close", 1, 0, EINTR}}},
    {P::UncachedRead, {{"close", 1, 1, EINTR}}},
    {P::Write, {{"close", 1, 0, EINTR}}},
    {P::WholeWrite, {{"close", 1, 0, EINTR}}},

    // Reads that end short, exactly at the end or ask for nothing; a write replacing a larger
    // file leaves only its own bytes; an empty file read around the cache has no interval.
    {.primitive = P::Read, .faults = {}, .before = 600, .length = 1000},
    {.primitive = P::Read, .faults = {}, .before = 600, .length = 600},
    {.primitive = P::Read, .faults = {}, .before = 600, .length = 0},
    {.primitive = P::Read, .faults = {}, .before = 600, .length = 200, .offset = 500},
    {.primitive = P::Write, .faults = {}, .before = 10000, .length = 3000},
    {.primitive = P::UncachedRead, .faults = {}, .refuseDirect = true, .before = 0},
};

} // namespace

TEST(InjectedFault, EachStepGivesItsSentinelAndLeavesNoDescriptorOpen) {
    const TempFolder scratch;
    const int descriptors = openDescriptorCount();
    std::string trace;
    for (std::size_t row = 0; row < faultCases.size(); ++row) {
        const FaultCase &c = faultCases[row];
        SCOPED_TRACE(::testing::Message() << "row " << row);
        FaultySysCalls calls;
        const Timebase base{1, 1};
        TimedIo io(calls, base);
        calls.maxTransfer = 4096;
        calls.refuseDirect = c.refuseDirect;
        calls.faults = c.faults;
        calls.eintrEverywhere = c.interruptions;
        const std::string path = scratch.path() + "/f" + std::to_string(row);
        const double time = run(c, io, path);
        if (time > 0 && (c.primitive == P::Write || c.primitive == P::WholeWrite)) {
            EXPECT_EQ(fileContents(path), std::string(static_cast<std::size_t>(c.length), 'A'));
        }
        trace += std::to_string(row) + ": " + std::to_string(std::lround(time * 1e9)) + " ns, " +
                 cacheModeName(io.lastCacheMode()) + ",";
        for (const std::string &name : calls.calls)
            trace += " " + name;
        trace += "\n";
        EXPECT_EQ(openDescriptorCount(), descriptors);
        EXPECT_EQ(calls.strayCloses, 0);
    }
    EXPECT_TRUE(matchesSnapshot(trace, "injected-faults.txt"));
}
