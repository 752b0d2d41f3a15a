// Reads when memory runs short, in a child process whose address space is limited. (A write
// whose buffer cannot be had needs no limit: a size of 9e18 bytes fits no memory; see
// BenchTest.)
#include "../support/TempFolder.h"

#include "bench/SysCalls.h"
#include "bench/TestBuffer.h"
#include "bench/Timebase.h"
#include "bench/TimedIo.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <sys/resource.h>
#include <unistd.h>

using namespace quorlan;
using namespace quorlan::testing;

namespace {

constexpr std::int64_t MiB = 1024 * 1024;
constexpr std::int64_t sparseSize = 256 * MiB; // beyond the child's address space, holes on disk

// Counts without allocating: the memory may be gone.
int openDescriptors() {
    int count = 0;
    for (int fd = 0; fd < 4096; ++fd)
        count += ::fcntl(fd, F_GETFD) != -1;
    return count;
}

} // namespace

// A file too large for one buffer is read through a smaller one; without even the smallest
// buffer a read fails and leaves nothing open.
TEST(AllocationFailure, ReadsTakeASmallerBufferOrFailWithoutOne) {
    // AddressSanitizer reserves terabytes of shadow memory at start-up: a limit on the address
    // space cannot be set under it.
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "the address space of a child cannot be limited under AddressSanitizer";
#endif
    const TempFolder scratch;
    const std::string path = scratch.path() + "/sparse";
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    ASSERT_EQ(::ftruncate(fd, sparseSize), 0); // holes: nothing is written
    ::close(fd);
    // The child may grow by 16 MiB at most. It exits with 0 when all went as it should, else it
    // says what did not and exits with 1.
    const auto child = [&] {
        std::ifstream statm("/proc/self/statm");
        std::int64_t pages = 0;
        statm >> pages;
        const auto bytes = static_cast<rlim_t>(pages * sysconf(_SC_PAGESIZE) + 16 * MiB);
        const rlimit limit{bytes, bytes};
        std::string failures;
        failures.reserve(256); // nothing may be allocated once the memory is taken
        if (setrlimit(RLIMIT_AS, &limit) != 0 || makeReadBuffer(sparseSize).valid())
            failures += "the limit did not refuse a buffer of the whole file\n";
        if (const TestBuffer fallback = makeReadBufferUpTo(sparseSize);
            !fallback.valid() || fallback.size() >= sparseSize || fallback.size() % 4096 != 0 ||
            reinterpret_cast<std::uintptr_t>(fallback.bytes().data()) % 4096 != 0)
            failures += "no smaller buffer of whole, aligned pages\n";
        PosixSysCalls calls;
        const Timebase base{1, 1};
        TimedIo io(calls, base);
        if (io.timedRead(path, 0, sparseSize) <= 0.0 || io.timedUncachedRead(path) <= 0.0)
            failures += "the reads did not measure the file\n";
        io.releaseReadBuffer();
        // Take every piece of memory left, from the allocator's free lists and the system.
        std::vector<void *> taken;
        taken.reserve(4096);
        while (taken.size() < taken.capacity())
            if (void *p = std::malloc(64 * 1024))
                taken.push_back(p);
            else
                break;
        if (taken.size() == taken.capacity())
            failures += "the memory did not run out\n";
        const int descriptors = openDescriptors();
        if (makeReadBufferUpTo(2 * MiB).valid() || io.timedRead(path, 0, 2 * MiB) != failedTime ||
            io.timedUncachedRead(path) != failedTime)
            failures += "a read without a buffer did not fail\n";
        if (openDescriptors() != descriptors)
            failures += "a descriptor was left open\n";
        std::fputs(failures.c_str(), stderr);
        std::_Exit(failures.empty() ? 0 : 1);
    };
    EXPECT_EXIT(child(), ::testing::ExitedWithCode(0), "");
}
