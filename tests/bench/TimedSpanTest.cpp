// What lies inside a timed interval besides the system calls it times: no page fault, and the
// same buffer policy whatever the size. Both are read through the system-call layer, never from
// a timing.
#include "../support/TempFolder.h"

#include "bench/SysCalls.h"
#include "bench/Timebase.h"
#include "bench/TimedIo.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <sys/mman.h>
#include <sys/resource.h>

using namespace quorlan;
using namespace quorlan::testing;

namespace {

long threadFaults() {
    rusage usage{};
    getrusage(RUSAGE_THREAD, &usage);
    return usage.ru_minflt + usage.ru_majflt;
}

// Whether the mapping that holds address is advised for huge pages ("hg" in /proc/self/smaps).
bool hugePageAdvice(const void *address) {
    const auto at = reinterpret_cast<std::uintptr_t>(address);
    std::ifstream smaps("/proc/self/smaps");
    bool inside = false;
    for (std::string line; std::getline(smaps, line);) {
        std::uintptr_t start = 0, end = 0;
        char dash = 0;
        if (std::istringstream(line) >> std::hex >> start >> dash >> end && dash == '-')
            inside = start <= at && at < end;
        else if (inside && line.rfind("VmFlags:", 0) == 0)
            return (line + " ").find(" hg ") != std::string::npos;
    }
    return false;
}

// The real calls, noting this thread's page faults at every tick and, when asked, the buffer of
// every transfer (reading the mappings takes memory, so not while faults are counted).
class SpanObserver : public PosixSysCalls {
public:
    bool noteTransfers = false;
    std::vector<long> faultsAtTick;
    std::vector<std::pair<std::uintptr_t, bool>> transfers; // address % bufferGranule, advised
    void *lastBuffer = nullptr;

    std::uint64_t monotonicTicks() override {
        faultsAtTick.push_back(threadFaults());
        return PosixSysCalls::monotonicTicks();
    }
    ssize_t read(int fd, void *buffer, std::size_t count) override {
        note(lastBuffer = buffer);
        return PosixSysCalls::read(fd, buffer, count);
    }
    ssize_t write(int fd, const void *buffer, std::size_t count) override {
        note(buffer);
        return PosixSysCalls::write(fd, buffer, count);
    }
    // Faults between the last two ticks: the span of the last timed call.
    long lastSpanFaults() const { return faultsAtTick.end()[-1] - faultsAtTick.end()[-2]; }

private:
    void note(const void *buffer) {
        if (noteTransfers)
            transfers.emplace_back(reinterpret_cast<std::uintptr_t>(buffer) % bufferGranule,
                                   hugePageAdvice(buffer));
    }
};

} // namespace

// Sizes just under, at and just over 2 MiB, a small one and 20 MB through every primitive, three
// times: noting every transfer's buffer (it starts on a 2 MiB boundary, and its memory has the
// same huge-page advice whatever the size, advised wherever the system has huge pages at all);
// then counting page faults with a fresh object (so a read makes its buffer, as a run's first
// read does); then again after the system took the buffers' pages back (reclaim, swap), which
// must return before the start tick. The faults counted between the start and the end tick are
// those of an empty span (the clock's own), nothing more.
TEST(TimedSpan, NoPageFaultInsideTheIntervalAndOneBufferPolicy) {
    const TempFolder scratch;
    const std::string path = scratch.path() + "/f.tiff";
    const bool hugePages = std::filesystem::exists("/sys/kernel/mm/transparent_hugepage/enabled");
    const Timebase base{1, 1};
    for (const std::int64_t size : {20000, 2093056, 2097152, 2100000, 20000000}) {
        SCOPED_TRACE(size);
        SpanObserver calls;
        calls.faultsAtTick.reserve(64);
        // The first reading of this clock in a process may fault once (the kernel maps the
        // clock's data page on first use), inside the clock call and before it reads the time.
        for (int reading = 0; reading < 4; ++reading)
            calls.monotonicTicks();
        const long clockFaults = calls.lastSpanFaults();
        TestBuffer data = makeTestData(size, 0x41);
        const std::function<double(TimedIo &)> primitives[] = {
            [&](TimedIo &io) { return io.timedWrite(path, data.bytes()); },
            [&](TimedIo &io) { return io.timedRead(path, 0, size); },
            [&](TimedIo &io) { return io.timedUncachedRead(path); },
            [&](TimedIo &io) { return io.timedWholeWrite(path, data.bytes()); },
        };
        TimedIo noted(calls, base), counted(calls, base);
        for (int round = 0; round < 3; ++round) {
            calls.noteTransfers = round == 0;
            for (int primitive = 0; primitive < 4; ++primitive) {
                if (round == 2) {
                    ASSERT_EQ(::madvise(data.data(), size, MADV_DONTNEED), 0);
                    ASSERT_EQ(::madvise(calls.lastBuffer, size, MADV_DONTNEED), 0);
                }
                ASSERT_GT(primitives[primitive](round == 0 ? noted : counted), 0.0);
                if (round > 0) {
                    EXPECT_EQ(calls.lastSpanFaults(), clockFaults) << round << " " << primitive;
                }
            }
        }
        ASSERT_GE(calls.transfers.size(), 4u);
        for (const auto &[alignment, advised] : calls.transfers)
            EXPECT_EQ(std::pair(alignment, advised), std::pair(std::uintptr_t{0}, hugePages));
    }
}
