// The timed primitives with one step failing, interrupted or answering otherwise: the time they
// give, how an uncached read met the cache, and that no descriptor is left open.
#include "../support/FaultySysCalls.h"
#include "../support/TempFolder.h"

#include "bench/TestBuffer.h"
#include "bench/Timebase.h"
#include "bench/TimedIo.h"

#include <gtest/gtest.h>

using namespace quorlan;
using namespace quorlan::testing;

namespace {

// Every file of these tests: with transfers capped at 4096 bytes, 10000 bytes take three calls
// (4096, 4096, 1808), so a fault can hit the first, a middle or the last one.
constexpr std::int64_t fileSize = 10000;

enum class Primitive { Read, UncachedRead, Write, WholeWrite };
enum class Expect { Failed, Zero, Measured };

struct FaultCase {
    Primitive primitive;
    std::vector<Fault> faults;
    Expect expect;
    bool refuseDirect = false;        // the direct open is refused: the uncached read reads plainly
    CacheMode mode = CacheMode::None; // how the uncached read met the cache; None: not checked
    bool reached = true;              // false: the primitive must never make the failing call
    int interruptions = 0;            // every call fails this many times with EINTR first
};

using P = Primitive;

// Runs the primitive on path; a read finds a file of fileSize bytes there.
double run(Primitive p, TimedIo &io, const std::string &path) {
    const TestBuffer data = makeTestData(fileSize, 0x41);
    if (p == P::Read || p == P::UncachedRead)
        writeFile(path, fileSize);
    return p == P::Read           ? io.timedRead(path, 0, fileSize)
           : p == P::UncachedRead ? io.timedUncachedRead(path)
           : p == P::Write        ? io.timedWrite(path, data.bytes())
                                  : io.timedWholeWrite(path, data.bytes());
}

using E = Expect;
using M = CacheMode;

// The sentinels: failedTime from timedRead, timedUncachedRead and timedWrite, 0.0 from
// timedWholeWrite, and 0.0 for a read that ends short or finds nothing. Steps before the
// uncached read's interval only change how it bypasses the cache, so it is still measured.
const std::vector<FaultCase> faultCases = {
    {P::Read, {{"open", 1, 0, EIO}}, E::Failed},
    {P::Read, {{"lseek", 1, 0, EIO}}, E::Failed},
    {P::Read, {{"read", 2, 0, EIO}}, E::Failed},
    {P::Read, {{"read", 3, 0, 0}}, E::Zero},
    {P::Read, {{"syncFileData", 1, 0, EIO}}, E::Failed},
    {P::Read, {{"close", 1, 0, EIO}}, E::Failed},
    {P::Read, {{"fsync", 1, 0, EIO}}, E::Measured, false, M::None, false}, // a read syncs its data

    {P::UncachedRead, {{"open", 1, 0, EIO}}, E::Failed},
    {P::UncachedRead, {{"fstat", 1, 0, EIO}}, E::Failed},
    {P::UncachedRead, {{"close", 1, 0, EIO}}, E::Failed},
    {P::UncachedRead, {{"open-direct", 1, 0, EIO}}, E::Measured, false, M::PagesDropped},
    {P::UncachedRead, {{"open", 2, 0, EIO}}, E::Failed, true},
    {P::UncachedRead, {{"read", 1, 0, EIO}}, E::Failed},
    {P::UncachedRead, {{"read", 1, 0, 0}}, E::Zero, true},
    {P::UncachedRead, {{"close", 2, 0, EIO}}, E::Failed},
    // O_DIRECT opened but its reads refused: the flag is cleared and the read goes on plainly.
    {P::UncachedRead, {{"read", 1, 0, EINVAL}}, E::Measured, false, M::PagesDropped},
    {P::UncachedRead, {{"read", 1, 0, EINVAL}, {"clearDirect", 1, 0, EIO}}, E::Failed},
    // Pages that could not be written back or dropped leave a plain read not bypassed; O_DIRECT
    // bypasses the cache all the same.
    {P::UncachedRead, {}, E::Measured, true, M::PagesDropped},
    {P::UncachedRead, {{"fsync", 1, 0, EIO}}, E::Measured, true, M::NotBypassed},
    {P::UncachedRead, {{"dropCache", 1, 0, EIO}}, E::Measured, true, M::NotBypassed},
    {P::UncachedRead, {{"dropCache", 1, 0, EIO}}, E::Measured, false, M::Direct},

    {P::Write, {{"open-create", 1, 0, ENOSPC}}, E::Failed},
    {P::Write, {{"write", 2, 0, EIO}}, E::Failed},
    {P::Write, {{"write", 1, 0, 0}}, E::Failed},
    {P::Write, {{"fsync", 1, 0, EIO}}, E::Failed},
    {P::Write, {{"close", 1, 0, EIO}}, E::Failed},
    {P::Write, {{"syncFileData", 1, 0, EIO}}, E::Measured, false, M::None, false},

    {P::WholeWrite, {{"open-create", 1, 0, EIO}}, E::Zero},
    {P::WholeWrite, {{"write", 2, 0, ENOSPC}}, E::Zero},
    {P::WholeWrite, {{"write", 1, 0, 0}}, E::Zero},
    {P::WholeWrite, {{"close", 1, 0, EIO}}, E::Zero},
    {P::WholeWrite, {{"fsync", 1, 0, EIO}}, E::Measured, false, M::None, false},

    // Every call but close is made again when interrupted, until it goes through; a close that
    // reports EINTR has released its descriptor and counts as done.
    {P::Read, {}, E::Measured, false, M::None, true, 3},
    {P::UncachedRead, {}, E::Measured, false, M::Direct, true, 3},
    {P::Write, {}, E::Measured, false, M::None, true, 3},
    {P::WholeWrite, {}, E::Measured, false, M::None, true, 3},
    // The fourth attempt is the first past the interruptions: the flag is cleared, interrupted.
    {P::UncachedRead, {{"read", 4, 0, EINVAL}}, E::Measured, false, M::PagesDropped, true, 3},
    {P::Read, {{"close", 1, 0, EINTR}}, E::Measured},
    {P::UncachedRead, {{"close", 1, 1, EINTR}}, E::Measured},
    {P::Write, {{"close", 1, 0, EINTR}}, E::Measured},
    {P::WholeWrite, {{"close", 1, 0, EINTR}}, E::Measured},
};

} // namespace

TEST(InjectedFault, EachStepGivesItsSentinelAndLeavesNoDescriptorOpen) {
    const TempFolder scratch;
    for (std::size_t row = 0; row < faultCases.size(); ++row) {
        const FaultCase &c = faultCases[row];
        SCOPED_TRACE(::testing::Message() << "row " << row);
        const std::string path = scratch.path() + "/f" + std::to_string(row);
        FaultySysCalls calls;
        const Timebase base{1, 1};
        TimedIo io(calls, base);
        calls.maxTransfer = 4096;
        calls.refuseDirect = c.refuseDirect;
        calls.faults = c.faults;
        calls.eintrEverywhere = c.interruptions;
        const int descriptors = openDescriptorCount();

        const double time = run(c.primitive, io, path);

        const double sentinel = c.expect == E::Failed ? failedTime : 0.0;
        EXPECT_TRUE(c.expect == E::Measured ? time > 0.0 : time == sentinel) << time;
        EXPECT_TRUE(c.mode == M::None || io.lastCacheMode() == c.mode)
            << static_cast<int>(io.lastCacheMode());
        EXPECT_EQ(openDescriptorCount(), descriptors);
        EXPECT_EQ(calls.strayCloses, 0);
        for (const Fault &fault : c.faults) // the fault was reached, or the call never made
            EXPECT_EQ(calls.callCounts[fault.call] >= fault.first, c.reached) << fault.call;
        int opens = 0;
        for (const auto &[name, count] : calls.callCounts) {
            opens += name.starts_with("open") ? count : 0;
            EXPECT_TRUE(name == "close" || count % (c.interruptions + 1) == 0) << name;
        }
        EXPECT_TRUE(c.interruptions == 0 ||
                    calls.callCounts["close"] == opens / (c.interruptions + 1));
    }
}
