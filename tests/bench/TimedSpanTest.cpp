// What lies inside a timed interval besides the system calls it times: no page fault, and the
// same buffer policy whatever the size. Both are read through the system-call layer, never from
// a timing.
#include "../support/TempFolder.h"

#include "bench/SysCalls.h"
#include "bench/TestBuffer.h"
#include "bench/Timebase.h"
#include "bench/TimedIo.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <sys/mman.h>
#include <sys/resource.h>

using namespace quorlan;
using namespace quorlan::testing;
namespace fs = std::filesystem;

namespace {

long threadFaults() {
    rusage usage{};
    getrusage(RUSAGE_THREAD, &usage);
    return usage.ru_minflt + usage.ru_majflt;
}

// The flags of the mapping that holds address ("rd wr mr mw me ac hg ..."), from
// /proc/self/smaps; empty when no mapping holds it.
std::string mappingFlags(const void *address) {
    const auto at = reinterpret_cast<std::uintptr_t>(address);
    std::ifstream smaps("/proc/self/smaps");
    bool inside = false;
    for (std::string line; std::getline(smaps, line);) {
        std::uintptr_t start = 0;
        std::uintptr_t end = 0;
        char dash = 0;
        std::istringstream range(line);
        if (range >> std::hex >> start >> dash >> end && dash == '-')
            inside = start <= at && at < end;
        else if (inside && line.rfind("VmFlags:", 0) == 0)
            return line.substr(8);
    }
    return {};
}

// The real calls, noting this thread's page faults at every tick and, when asked, the buffer of
// every transfer: its alignment and whether its mapping is advised for huge pages (reading the
// mappings takes memory, so not while faults are counted).
class SpanObserver : public PosixSysCalls {
public:
    explicit SpanObserver(bool noteTransfers) : noteTransfers_(noteTransfers) {}
    std::vector<long> faultsAtTick;
    struct Transfer {
        std::uintptr_t alignment; // the address modulo bufferGranule
        bool hugePageAdvice;
    };
    std::vector<Transfer> transfers;
    void *lastBuffer = nullptr;

    std::uint64_t monotonicTicks() override {
        faultsAtTick.push_back(threadFaults());
        return PosixSysCalls::monotonicTicks();
    }
    ssize_t read(int fd, void *buffer, std::size_t count) override {
        lastBuffer = buffer;
        note(buffer);
        return PosixSysCalls::read(fd, buffer, count);
    }
    ssize_t write(int fd, const void *buffer, std::size_t count) override {
        note(buffer);
        return PosixSysCalls::write(fd, buffer, count);
    }
    // Faults between the last two ticks: the span of the last timed call.
    long lastSpanFaults() const {
        const std::size_t n = faultsAtTick.size();
        return n < 2 ? -1 : faultsAtTick[n - 1] - faultsAtTick[n - 2];
    }

private:
    void note(const void *buffer) {
        if (!noteTransfers_)
            return;
        std::istringstream flags(mappingFlags(buffer));
        bool advised = false;
        for (std::string flag; flags >> flag;)
            advised = advised || flag == "hg";
        transfers.push_back(
            {reinterpret_cast<std::uintptr_t>(buffer) % static_cast<std::uintptr_t>(bufferGranule),
             advised});
    }
    bool noteTransfers_;
};

enum class Primitive { Write, WholeWrite, Read, UncachedRead };

const char *nameOf(Primitive p) {
    switch (p) {
    case Primitive::Write:
        return "timedWrite";
    case Primitive::WholeWrite:
        return "timedWholeWrite";
    case Primitive::Read:
        return "timedRead";
    case Primitive::UncachedRead:
        break;
    }
    return "timedUncachedRead";
}

// A fresh primitive object (so a read makes its buffer in this call, as a run's first read
// does) timing one call on the file of size bytes at path; a write makes its data first, as
// every writer does. Returns the time.
double timeOnce(SpanObserver &calls, Primitive primitive, const std::string &path,
                std::int64_t size) {
    const Timebase base{1, 1};
    TimedIo io(calls, base);
    switch (primitive) {
    case Primitive::Write:
        return io.timedWrite(path, makeTestData(size, 0x41).bytes());
    case Primitive::WholeWrite:
        return io.timedWholeWrite(path, makeTestData(size, 0x41).bytes());
    case Primitive::Read:
        return io.timedRead(path, 0, size);
    case Primitive::UncachedRead:
        break;
    }
    return io.timedUncachedRead(path);
}

class TimedSpan : public ::testing::TestWithParam<std::int64_t> {
protected:
    TempFolder scratch;
    std::string folder = scratch.path();
};

// A real 2 MB and 20 MB file through every primitive: the faults counted between the start and
// the end tick are those of an empty span (the clock's own), nothing more.
TEST_P(TimedSpan, NoPageFaultInsideTheInterval) {
    const std::int64_t size = GetParam();
    const std::string path = folder + "/f.tiff";
    SpanObserver calls(false);
    calls.faultsAtTick.reserve(64);
    // The first reading of this clock in a process may fault once (the kernel maps the clock's
    // data page on first use), inside the clock call and before it reads the time.
    for (int reading = 0; reading < 4; ++reading)
        calls.monotonicTicks();
    const long clockFaults = calls.lastSpanFaults();
    for (Primitive primitive : {Primitive::Write, Primitive::Read, Primitive::UncachedRead,
                                Primitive::WholeWrite, Primitive::Read}) {
        SCOPED_TRACE(nameOf(primitive));
        ASSERT_GT(timeOnce(calls, primitive, path, size), 0.0);
        EXPECT_EQ(calls.lastSpanFaults(), clockFaults);
    }
}

// The system may take a buffer's pages back between two files (reclaim, swap); they must come
// back before the next start tick, not inside the interval.
TEST_F(TimedSpan, PagesTakenBackSinceTheLastCallReturnBeforeTheInterval) {
    constexpr std::int64_t size = 2000000;
    const std::string path = folder + "/f.tiff";
    SpanObserver calls(false);
    calls.faultsAtTick.reserve(64);
    const Timebase base{1, 1};
    TimedIo io(calls, base);
    TestBuffer data = makeTestData(size, 0x41);
    ASSERT_GT(io.timedWrite(path, data.bytes()), 0.0);
    ASSERT_GT(io.timedRead(path, 0, size), 0.0);
    void *readBuffer = calls.lastBuffer;
    ASSERT_EQ(::madvise(data.data(), size, MADV_DONTNEED), 0);
    ASSERT_EQ(::madvise(readBuffer, size, MADV_DONTNEED), 0);
    ASSERT_GT(io.timedWrite(path, data.bytes()), 0.0);
    EXPECT_EQ(calls.lastSpanFaults(), 0);
    ASSERT_GT(io.timedRead(path, 0, size), 0.0);
    EXPECT_EQ(calls.lastBuffer, readBuffer); // the same buffer, kept from the first read
    EXPECT_EQ(calls.lastSpanFaults(), 0);
    ASSERT_EQ(::madvise(data.data(), size, MADV_DONTNEED), 0);
    ASSERT_GT(io.timedWholeWrite(path, data.bytes()), 0.0);
    EXPECT_EQ(calls.lastSpanFaults(), 0);
}

INSTANTIATE_TEST_SUITE_P(RealFiles, TimedSpan, ::testing::Values(2000000, 20000000));

// Sizes just under, at and just over 2 MiB, and a small one: every transfer's buffer starts on a
// 2 MiB boundary, and its memory has the same huge-page advice whatever the size (advised
// wherever the system has huge pages at all).
TEST(TimedSpanPolicy, OneBufferPolicyAtEverySize) {
    const TempFolder scratch;
    const std::string folder = scratch.path();
    const bool systemHasHugePages = fs::exists("/sys/kernel/mm/transparent_hugepage/enabled");
    for (std::int64_t size : {20000, 2093056, 2097152, 2100000}) {
        for (Primitive primitive :
             {Primitive::Write, Primitive::Read, Primitive::UncachedRead, Primitive::WholeWrite}) {
            SCOPED_TRACE(std::string(nameOf(primitive)) + " of " + std::to_string(size));
            SpanObserver calls(true);
            ASSERT_GT(timeOnce(calls, primitive, folder + "/f.tiff", size), 0.0);
            ASSERT_FALSE(calls.transfers.empty());
            for (const SpanObserver::Transfer &transfer : calls.transfers) {
                EXPECT_EQ(transfer.alignment, 0u);
                EXPECT_EQ(transfer.hugePageAdvice, systemHasHugePages);
            }
        }
    }
}

} // namespace
