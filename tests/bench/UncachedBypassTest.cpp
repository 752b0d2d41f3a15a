#include "../support/FaultySysCalls.h"
#include "../support/TempFolder.h"

#include "bench/Timebase.h"
#include "bench/TimedIo.h"

#include <gtest/gtest.h>

#include <algorithm>

using namespace quorlan;
using namespace quorlan::testing;

namespace {

// The calls between the first and the last tick: the timed interval.
std::vector<std::string> timedSpan(const std::vector<std::string> &calls) {
    const auto first = std::find(calls.begin(), calls.end(), "tick");
    const auto last = std::find(calls.rbegin(), calls.rend(), "tick").base();
    return first < last ? std::vector<std::string>(first, last) : std::vector<std::string>{};
}

} // namespace

class UncachedBypassTest : public ::testing::Test {
protected:
    TempFolder scratch;
    std::string path = scratch.path() + "/f";
    FaultySysCalls calls;
    Timebase base{1, 1};
    TimedIo io{calls, base};

    void SetUp() override { writeFile(path, 5000); }
    // Reads the file uncached and returns how it went around the cache, with the interval.
    CacheMode readUncached(std::vector<std::string> &span) {
        calls.calls.clear();
        EXPECT_GT(io.timedUncachedRead(path), 0.0);
        span = timedSpan(calls.calls);
        return io.lastCacheMode();
    }
};

TEST_F(UncachedBypassTest, APlainReadIsNotBypassedWhenThePagesCouldNotBeDropped) {
    std::vector<std::string> plainSpan;
    calls.refuseDirect = true;
    EXPECT_EQ(readUncached(plainSpan), CacheMode::PagesDropped);

    // The drop itself fails: the same calls are timed, only the classification changes.
    calls.failDropCacheErrno = EINVAL;
    std::vector<std::string> span;
    EXPECT_EQ(readUncached(span), CacheMode::NotBypassed);
    EXPECT_EQ(span, plainSpan);
    EXPECT_EQ(std::count(calls.calls.begin(), calls.calls.end(), "dropCache"), 1);

    // The write-back before the drop fails: the drop is in doubt.
    calls.failDropCacheErrno = 0;
    calls.failFsyncErrno = EIO;
    EXPECT_EQ(readUncached(span), CacheMode::NotBypassed);
    EXPECT_EQ(span, plainSpan);

    // The next read that drops its pages is classified afresh.
    calls.failFsyncErrno = 0;
    EXPECT_EQ(readUncached(span), CacheMode::PagesDropped);
}

TEST_F(UncachedBypassTest, ODirectBypassesTheCacheEvenWhenTheDropFailed) {
    calls.failDropCacheErrno = EIO;
    std::vector<std::string> span;
    const CacheMode bypass = readUncached(span);
    ASSERT_GE(span.size(), 3u);
    ASSERT_EQ(span[1], "open-direct");
    if (span[2] == "open")
        GTEST_SKIP() << "the file system of the temporary folder refuses O_DIRECT";
    EXPECT_EQ(bypass, CacheMode::Direct);
}
