#include "../support/FaultySysCalls.h"
#include "../support/TempFolder.h"

#include "bench/TestData.h"
#include "bench/Timebase.h"
#include "bench/TimedIo.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <sys/mman.h>
#include <unistd.h>

using namespace quorlan;
using namespace quorlan::testing;

namespace {

bool allBytesAre(std::span<const std::uint8_t> bytes, std::uint8_t fill) {
    return std::all_of(bytes.begin(), bytes.end(), [&](std::uint8_t b) { return b == fill; });
}

} // namespace

TEST(Timebase, ConvertsTicksMultiplyingFirstThenDividing) {
    const struct {
        Timebase base;
        std::uint64_t ticks;
        double seconds;
    } cases[] = {
        {{0, 0}, 1500000000, 0.0}, // not read yet
        {{1, 1}, 1500000000, 1.5},
        {{125, 3}, 36000000, 1.5},
        {{2, 3}, 7, 4 * 1e-9}, // dividing first would give 2 ns
        // a product beyond 64 bits does not wrap around into a short interval
        {{1000, 1000}, UINT64_MAX / 10, static_cast<double>(UINT64_MAX / 10) * 1e-9},
        // nanoseconds beyond 64 bits (centuries) stay at the largest count
        {{UINT64_MAX, 1}, 2, static_cast<double>(UINT64_MAX) * 1e-9},
    };
    for (const auto &c : cases)
        EXPECT_EQ(c.base.ticksToSeconds(c.ticks), c.seconds) << c.base.theNumerator;

    // Linux's counter is CLOCK_MONOTONIC_RAW, which already counts nanoseconds, forward.
    PosixSysCalls calls;
    Timebase base;
    base.readTimebase(calls);
    EXPECT_EQ(base.theNumerator * 10 + base.theDenominator, 11u);
    std::uint64_t previous = calls.monotonicTicks();
    for (int i = 0; i < 1000; ++i) {
        const std::uint64_t now = calls.monotonicTicks();
        ASSERT_GE(now, previous);
        previous = now;
    }
}

// Data buffers: every byte the fill byte (past the 2 MiB granule too), 2 MiB-aligned,
// impossible sizes refused; TestData reuses its buffer for the same byte and refills for another.
TEST(TestData, FillsEveryByteAndRefusesImpossibleSizes) {
    const TestBuffer large = makeTestData(5 * 1024 * 1024 + 123, 0x5A);
    const TestBuffer other = makeTestData(3, 0xC3);
    ASSERT_TRUE(large.valid() && other.valid());
    EXPECT_EQ(large.bytes().size(), 5u * 1024 * 1024 + 123);
    EXPECT_TRUE(allBytesAre(large.bytes(), 0x5A));
    EXPECT_TRUE(allBytesAre(other.bytes(), 0xC3));
    EXPECT_EQ(other.bytes().size(), 3u);
    EXPECT_EQ(reinterpret_cast<std::uintptr_t>(other.bytes().data()) % bufferGranule, 0u);
    EXPECT_TRUE(makeTestData(0, 0x41).valid());
    EXPECT_FALSE(makeTestData(-1, 0).valid());
    EXPECT_FALSE(makeTestData(INT64_MAX, 0).valid());

    TestData data;
    const auto first = data.bytes(3 * 1024 * 1024, 0x11);
    ASSERT_TRUE(first.has_value());
    const_cast<std::uint8_t *>(first->data())[0] = 0x99; // the same byte again: not refilled
    const auto smaller = data.bytes(1000, 0x11);
    ASSERT_TRUE(smaller.has_value());
    EXPECT_EQ(smaller->data(), first->data());
    EXPECT_EQ(smaller->front(), 0x99);
    EXPECT_EQ(smaller->size(), 1000u);
    EXPECT_TRUE(allBytesAre(*data.bytes(1000, 0x22), 0x22));
    EXPECT_FALSE(data.bytes(-1, 0x22).has_value());
    EXPECT_FALSE(data.bytes(INT64_MAX, 0x22).has_value());
    EXPECT_TRUE(allBytesAre(*data.bytes(10, 0x33), 0x33)); // a refusal leaves it usable
}

// The write path chosen at the boundary, without writing the bytes: the writes are faked, and
// the buffers are 2 GB of address space that all show the same 2 MiB of zeros, so that touching
// their pages before the interval takes no 2 GB of memory.
TEST(TimedIo, LargeBuffersTakeTheOneCallPathAboveTwoBillionBytes) {
    const TempFolder scratch;
    const auto granule = static_cast<std::size_t>(bufferGranule);
    const std::size_t large = static_cast<std::size_t>(largeWriteThreshold) + 1;
    const std::size_t reserved = (large / granule + 1) * granule;
    auto *space = static_cast<std::uint8_t *>(
        mmap(nullptr, reserved, PROT_READ, MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0));
    const int zeros = memfd_create("zeros", 0);
    ASSERT_TRUE(space != MAP_FAILED && zeros >= 0 && ftruncate(zeros, bufferGranule) == 0);
    for (std::size_t at = 0; at < reserved; at += granule)
        ASSERT_NE(mmap(space + at, granule, PROT_READ, MAP_SHARED | MAP_FIXED, zeros, 0),
                  MAP_FAILED);
    close(zeros);
    const std::uint8_t *bytes = space;
    FaultySysCalls calls;
    calls.fakeWrites = true;
    const Timebase base{1, 1};
    TimedIo io(calls, base);
    EXPECT_GT(io.timedTestWrite(scratch.path() + "/at", {bytes, large - 1}), 0.0);
    using Calls = std::vector<std::string>;
    EXPECT_EQ(calls.calls, (Calls{"open-create", "tick", "write", "fsync", "tick", "close"}));
    calls.calls.clear();
    EXPECT_GT(io.timedTestWrite(scratch.path() + "/above", {bytes, large}), 0.0);
    EXPECT_EQ(calls.calls, (Calls{"tick", "open-create", "write", "close", "tick"}));
    munmap(space, reserved);
}
