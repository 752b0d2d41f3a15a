#include "../support/FaultySysCalls.h"
#include "../support/TempFolder.h"

#include "bench/TestBuffer.h"
#include "bench/TestData.h"
#include "bench/Timebase.h"
#include "bench/TimedIo.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <sys/mman.h>

using namespace quorlan;
using namespace quorlan::testing;
namespace fs = std::filesystem;

TEST(Timebase, ConvertsTicksMultiplyingFirstThenDividing) {
    Timebase base;
    EXPECT_EQ(base.ticksToSeconds(1500000000), 0.0); // not read yet
    base = {1, 1};
    EXPECT_EQ(base.ticksToSeconds(1500000000), 1.5);
    base = {125, 3};
    EXPECT_EQ(base.ticksToSeconds(36000000), 1.5);
    // 7 × 2 / 3 = 4 ns; dividing first would give 2 ns.
    base = {2, 3};
    EXPECT_EQ(base.ticksToSeconds(7), 4 * 1e-9);
    // A product beyond 64 bits does not wrap around into a short interval.
    base = {1000, 1000};
    EXPECT_EQ(base.ticksToSeconds(UINT64_MAX / 10), static_cast<double>(UINT64_MAX / 10) * 1e-9);
    // Nanoseconds beyond 64 bits (an interval of centuries) stay at the largest count.
    base = {UINT64_MAX, 1};
    EXPECT_EQ(base.ticksToSeconds(2), static_cast<double>(UINT64_MAX) * 1e-9);
}

// Linux's counter is CLOCK_MONOTONIC_RAW, which already counts nanoseconds.
TEST(Timebase, TheSystemCounterCountsNanosecondsForward) {
    PosixSysCalls calls;
    Timebase base;
    base.readTimebase(calls);
    EXPECT_EQ(base.theNumerator, 1u);
    EXPECT_EQ(base.theDenominator, 1u);
    std::uint64_t previous = calls.monotonicTicks();
    for (int i = 0; i < 1000; ++i) {
        const std::uint64_t now = calls.monotonicTicks();
        ASSERT_GE(now, previous);
        previous = now;
    }
}

TEST(MakeTestData, FillsEveryByteAndRefusesImpossibleSizes) {
    TestBuffer three = makeTestData(3, 0x88);
    ASSERT_TRUE(three.valid());
    ASSERT_EQ(three.bytes().size(), 3u);
    EXPECT_TRUE(std::all_of(three.bytes().begin(), three.bytes().end(),
                            [](std::uint8_t b) { return b == 0x88; }));
    EXPECT_EQ(reinterpret_cast<std::uintptr_t>(three.data()) % bufferGranule, 0u);
    TestBuffer empty = makeTestData(0, 0x41);
    EXPECT_TRUE(empty.valid());
    EXPECT_TRUE(empty.bytes().empty());
    EXPECT_FALSE(makeTestData(-1, 0).valid());
    EXPECT_FALSE(makeTestData(INT64_MAX, 0).valid());
}

TEST(MakeTestData, LargeDataIsTheFillByteToTheLastByteAndWritesAsSuch) {
    // A size that is not a multiple of the 2 MiB granule, and a second buffer with another byte
    // that must not show through the first.
    const std::int64_t size = 5 * 1024 * 1024 + 123;
    const TestBuffer first = makeTestData(size, 0x5A);
    const TestBuffer second = makeTestData(size, 0xC3);
    ASSERT_TRUE(first.valid());
    ASSERT_EQ(first.bytes().size(), static_cast<std::size_t>(size));
    EXPECT_TRUE(std::all_of(first.bytes().begin(), first.bytes().end(),
                            [](std::uint8_t b) { return b == 0x5A; }));
    EXPECT_EQ(second.bytes().back(), 0xC3);

    const TempFolder scratch;
    const std::string folder = scratch.path();
    PosixSysCalls calls;
    Timebase base{1, 1};
    ASSERT_GT(TimedIo(calls, base).timedWrite(folder + "/large.tiff", first.bytes()), 0.0);
    const std::string written = fileContents(folder + "/large.tiff");
    EXPECT_EQ(written, std::string(static_cast<std::size_t>(size), '\x5A'));
}

TEST(TestData, ReusesItsBufferForSmallerFilesAndRefillsForAnotherByte) {
    TestData data;
    const auto large = data.bytes(3 * 1024 * 1024, 0x11);
    ASSERT_TRUE(large.has_value());
    // The same size again is the same memory, not filled anew.
    const_cast<std::uint8_t *>(large->data())[0] = 0x99;
    EXPECT_EQ(data.bytes(3 * 1024 * 1024, 0x11)->front(), 0x99);
    const auto smaller = data.bytes(1000, 0x11);
    ASSERT_TRUE(smaller.has_value());
    EXPECT_EQ(smaller->data(), large->data());
    EXPECT_EQ(smaller->size(), 1000u);
    const auto other = data.bytes(1000, 0x22);
    ASSERT_TRUE(other.has_value());
    EXPECT_TRUE(
        std::all_of(other->begin(), other->end(), [](std::uint8_t b) { return b == 0x22; }));
    EXPECT_FALSE(data.bytes(-1, 0x22).has_value());
    EXPECT_FALSE(data.bytes(INT64_MAX, 0x22).has_value());
    // After a refusal the next file still gets its data.
    const auto after = data.bytes(10, 0x33);
    ASSERT_TRUE(after.has_value());
    EXPECT_EQ(after->back(), 0x33);
}

class TimedIoTest : public ::testing::Test {
protected:
    TempFolder scratch;
    std::string folder = scratch.path();
    FaultySysCalls calls;
    Timebase base{1, 1};
    TimedIo io{calls, base};
    int descriptorsBefore = openDescriptorCount();

    void TearDown() override { EXPECT_EQ(openDescriptorCount(), descriptorsBefore); }
    std::string path(const char *name) const { return folder + "/" + name; }
    std::vector<std::string> timedSpan() const {
        const auto first = std::find(calls.calls.begin(), calls.calls.end(), "tick");
        const auto last = std::find(calls.calls.rbegin(), calls.calls.rend(), "tick").base();
        return {first, last};
    }
};

TEST_F(TimedIoTest, WriteTimesWriteAndSyncOnlyAndReplacesALargerFile) {
    writeFile(path("a.tiff"), 10000);
    const TestBuffer buffer = makeTestData(3000, 0x1A);
    EXPECT_EQ(io.timedWrite(path("a.tiff"), buffer.bytes()), 500 * 1e-9);
    EXPECT_EQ(fs::file_size(path("a.tiff")), 3000u);
    EXPECT_EQ(calls.calls,
              (std::vector<std::string>{"open-create", "tick", "write", "fsync", "tick", "close"}));
}

TEST_F(TimedIoTest, WriteSentinels) {
    const TestBuffer buffer = makeTestData(100, 0);
    EXPECT_EQ(io.timedWrite(path("missing/a.tiff"), buffer.bytes()), failedTime);
    EXPECT_FALSE(fs::exists(path("missing")));
    EXPECT_EQ(io.timedWholeWrite(path("missing/a.tiff"), buffer.bytes()), 0.0);
    calls.failFsyncErrno = EIO;
    EXPECT_EQ(io.timedWrite(path("b"), buffer.bytes()), failedTime);
    calls.failFsyncErrno = 0;
    calls.failWriteErrno = ENOSPC;
    EXPECT_EQ(io.timedWrite(path("c"), buffer.bytes()), failedTime);
    EXPECT_EQ(io.timedWholeWrite(path("c"), buffer.bytes()), 0.0);
    calls.failWriteErrno = 0;
    calls.failCloseErrno = EIO;
    EXPECT_EQ(io.timedWrite(path("d"), buffer.bytes()), failedTime);
    EXPECT_EQ(io.timedWholeWrite(path("d"), buffer.bytes()), 0.0);
    calls.failCloseErrno = 0;
    Timebase unset;
    TimedIo early(calls, unset);
    EXPECT_EQ(early.timedWrite(path("e"), buffer.bytes()), 0.0);
}

TEST_F(TimedIoTest, InterruptedAndPartialTransfersAreCompleted) {
    calls.eintrBeforeEach = 2;
    calls.maxTransfer = 4096;
    const TestBuffer buffer = makeTestData(10000, 0x41);
    EXPECT_GT(io.timedWrite(path("a"), buffer.bytes()), 0.0);
    EXPECT_EQ(fs::file_size(path("a")), 10000u);
    EXPECT_GT(io.timedRead(path("a"), 0, 10000), 0.0);
    EXPECT_GT(io.timedUncachedRead(path("a")), 0.0);
    EXPECT_GT(io.timedWholeWrite(path("b"), buffer.bytes()), 0.0);
    EXPECT_EQ(fs::file_size(path("b")), 10000u);
}

TEST_F(TimedIoTest, ReadSentinels) {
    writeFile(path("600"), 600);
    writeFile(path("empty"), 0);
    EXPECT_EQ(io.timedRead(path("600"), 0, 1000), 0.0); // short
    EXPECT_GT(io.timedRead(path("600"), 0, 600), 0.0);
    EXPECT_GT(io.timedRead(path("600"), 0, 0), 0.0);     // 0 bytes are not fewer than 0
    EXPECT_EQ(io.timedRead(path("600"), 500, 200), 0.0); // from an offset
    EXPECT_EQ(io.timedRead(path("none"), 0, 10), failedTime);
    EXPECT_EQ(io.timedUncachedRead(path("empty")), 0.0);
    EXPECT_EQ(io.timedUncachedRead(path("none")), failedTime);
    calls.failReadErrno = EIO;
    EXPECT_EQ(io.timedRead(path("600"), 0, 600), failedTime);
    EXPECT_EQ(io.timedUncachedRead(path("600")), failedTime);
}

TEST_F(TimedIoTest, ReadTimesReadAndSyncOnly) {
    writeFile(path("f"), 5000);
    EXPECT_EQ(io.timedRead(path("f"), 0, 5000), 500 * 1e-9);
    EXPECT_EQ(calls.calls,
              (std::vector<std::string>{"open", "tick", "read", "syncFileData", "tick", "close"}));
}

TEST_F(TimedIoTest, ReadFailsWhenItsSyncFailsAndRetriesAnInterruptedSync) {
    writeFile(path("f"), 5000);
    calls.failFsyncErrno = EIO;
    EXPECT_EQ(io.timedRead(path("f"), 0, 5000), failedTime);
    EXPECT_EQ(calls.calls.back(), "close");
    calls.failFsyncErrno = 0;
    calls.eintrBeforeEach = 2;
    calls.calls.clear();
    EXPECT_GT(io.timedRead(path("f"), 0, 5000), 0.0);
    EXPECT_EQ(std::count(calls.calls.begin(), calls.calls.end(), "syncFileData"), 3);
}

TEST_F(TimedIoTest, UncachedReadDropsPagesFirstAndTimesOpenReadClose) {
    writeFile(path("f"), 5000);
    EXPECT_GT(io.timedUncachedRead(path("f")), 0.0);
    const std::vector<std::string> span = timedSpan();
    ASSERT_FALSE(span.empty());
    EXPECT_EQ(span.front(), "tick");
    EXPECT_EQ(span[1], "open-direct");
    EXPECT_EQ(span[span.size() - 2], "close");
    // The pages were written back before the interval began.
    const auto firstTick = std::find(calls.calls.begin(), calls.calls.end(), "tick");
    EXPECT_NE(std::find(calls.calls.begin(), firstTick, "fsync"), firstTick);
}

TEST_F(TimedIoTest, UncachedReadFallsBackWhereDirectIsRefused) {
    writeFile(path("f"), 5000);
    calls.refuseDirect = true;
    EXPECT_GT(io.timedUncachedRead(path("f")), 0.0);
    EXPECT_EQ(io.lastCacheMode(), CacheMode::PagesDropped);
    const std::vector<std::string> span = timedSpan();
    EXPECT_EQ(span[1], "open-direct");
    EXPECT_EQ(span[2], "open");
}

// Checks the write path chosen at the boundary without writing the bytes: the writes are faked
// and the buffers are untouched reserved address space.
TEST_F(TimedIoTest, LargeBuffersTakeTheOneCallPathAboveTwoBillionBytes) {
    const std::size_t large = 2000000001;
    void *space =
        mmap(nullptr, large, PROT_READ, MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
    ASSERT_NE(space, MAP_FAILED);
    const auto *bytes = static_cast<const std::uint8_t *>(space);
    calls.fakeWrites = true;

    EXPECT_GT(io.timedTestWrite(path("at"), {bytes, large - 1}), 0.0);
    EXPECT_NE(std::find(calls.calls.begin(), calls.calls.end(), "fsync"), calls.calls.end());
    EXPECT_EQ(calls.calls.front(), "open-create"); // opened before the start tick

    calls.calls.clear();
    EXPECT_GT(io.timedTestWrite(path("above"), {bytes, large}), 0.0);
    EXPECT_EQ(std::find(calls.calls.begin(), calls.calls.end(), "fsync"), calls.calls.end());
    EXPECT_EQ(calls.calls.front(), "tick"); // open lies inside the interval
    EXPECT_EQ(calls.calls.back(), "tick");
    // No single call moves more than Linux's limit.
    EXPECT_GE(std::count(calls.calls.begin(), calls.calls.end(), "write"), 1);
    munmap(space, large);
}
