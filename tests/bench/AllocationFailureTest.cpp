#include "../support/FaultySysCalls.h"
#include "../support/RecordingLog.h"
#include "../support/TempFolder.h"

#include "bench/Bench.h"
#include "bench/TestBuffer.h"
#include "bench/Timebase.h"
#include "bench/TimedIo.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace quorlan;
using namespace quorlan::testing;
namespace fs = std::filesystem;

// AddressSanitizer reserves terabytes of shadow memory at start-up: a limit on the address space
// cannot be set under it.
#if defined(__SANITIZE_ADDRESS__)
#define QUORLAN_ADDRESS_SANITIZER 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define QUORLAN_ADDRESS_SANITIZER 1
#endif
#endif

namespace {

constexpr std::int64_t MiB = 1024 * 1024;
constexpr std::int64_t oneMB = 1000000;
constexpr std::int64_t hugeSize = 4000000000;  // far beyond the child's address space
constexpr std::int64_t sparseSize = 256 * MiB; // beyond it too, and holes only on the disk

// The child's checks: each failed one adds a line.
struct Checks {
    std::string failures;
    void operator()(bool ok, const std::string &what) {
        if (!ok)
            failures += what + "\n";
    }
};

std::int64_t addressSpaceInUse() {
    std::ifstream statm("/proc/self/statm");
    std::int64_t pages = 0;
    statm >> pages;
    return pages * sysconf(_SC_PAGESIZE);
}

bool limitAddressSpace(std::int64_t bytes) {
    const rlimit limit{static_cast<rlim_t>(bytes), static_cast<rlim_t>(bytes)};
    return setrlimit(RLIMIT_AS, &limit) == 0;
}

void writeAll(int fd, const std::string &text) {
    std::size_t done = 0;
    while (done < text.size()) {
        const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
        if (n <= 0)
            return;
        done += static_cast<std::size_t>(n);
    }
}

// Runs body in a child process whose address space may grow by headroom bytes at most and whose
// files can never grow past 16 MiB (so a test gone wrong cannot write gigabytes). Returns what
// the body reported, or why the child did not finish.
std::string inLimitedChild(std::int64_t headroom, const std::function<std::string()> &body) {
    int channel[2];
    if (::pipe(channel) != 0)
        return "no pipe";
    std::fflush(nullptr);
    const pid_t child = ::fork();
    if (child < 0)
        return "no fork";
    if (child == 0) {
        ::close(channel[0]);
        std::signal(SIGXFSZ, SIG_IGN);
        const rlimit fileLimit{16 * MiB, 16 * MiB};
        std::string report;
        if (::setrlimit(RLIMIT_FSIZE, &fileLimit) != 0 ||
            !limitAddressSpace(addressSpaceInUse() + headroom)) {
            report = "the limits could not be set\n";
        } else {
            try {
                report = body();
            } catch (...) {
                report = "an exception left the body\n";
            }
        }
        writeAll(channel[1], report);
        ::_exit(report.empty() ? 0 : 1);
    }
    ::close(channel[1]);
    std::string report;
    char piece[512];
    for (ssize_t n; (n = ::read(channel[0], piece, sizeof piece)) != 0;) {
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            break;
        report.append(piece, static_cast<std::size_t>(n));
    }
    ::close(channel[0]);
    int status = 0;
    while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    if (!WIFEXITED(status))
        report += "the child ended with signal " + std::to_string(WTERMSIG(status)) + "\n";
    return report;
}

// Counts without allocating: the memory may be gone.
int openDescriptors() {
    int count = 0;
    for (int fd = 0; fd < 4096; ++fd)
        count += ::fcntl(fd, F_GETFD) != -1;
    return count;
}

bool hasLine(const std::string &text, const std::string &line) {
    return text.find(line) != std::string::npos;
}

const std::string noMemoryLine =
    "Cannot write a file of 4000000000 bytes: there is not enough memory for its buffer.\n";

} // namespace

class AllocationFailureTest : public ::testing::Test {
protected:
    TempFolder scratch;
    std::string folder = scratch.path();

    void SetUp() override {
#if defined(QUORLAN_ADDRESS_SANITIZER)
        GTEST_SKIP() << "AddressSanitizer reserves terabytes of shadow memory, so the address "
                        "space of a child cannot be limited in this build";
#endif
    }
};

TEST_F(AllocationFailureTest, AFileTooLargeForMemoryIsLoggedAndTheRunGoesOn) {
    const std::string report = inLimitedChild(64 * MiB, [&] {
        Checks check;
        // Before anything is written: the limit must refuse the large buffer.
        if (makeTestData(hugeSize, 0).valid())
            return std::string("the limit did not refuse a 4 GB buffer\n");
        RecordingLog log;
        FaultySysCalls calls;
        const std::vector<std::int64_t> sizes = {oneMB, hugeSize, oneMB};
        Bench bench{log, calls, sizes};
        bench.readTimebase();
        bench.setRandomSizes(RandomSizes(42));
        PanelSettings panel;
        panel.verbose = 1;

        fs::create_directory(folder + "/multi");
        bench.performMultiWrite(folder + "/multi", panel);
        const std::string &text = log.text;
        check(text.find(noMemoryLine) != std::string::npos &&
                  text.find(noMemoryLine) == text.rfind(noMemoryLine),
              "multi-write: the line about memory, once");
        check(bench.theAnalyser->theWrites.size() == 2, "multi-write: two files recorded");
        check(bench.lastRun.failedOperations == 1, "multi-write: one operation failed");
        check(calls.callCounts["open-create"] == 2, "multi-write: the large file was opened");
        check(hasLine(text, "\nWrite = 2\n") && hasLine(text, "\nTest path " + folder) &&
                  hasLine(text, "Quorlan version "),
              "multi-write: report, path line and footer");

        // The mixed test writes in the stored order: the next file follows the failed one.
        log.text.clear();
        fs::create_directory(folder + "/mixed");
        bench.theSizes = sizes;
        bench.performMixedTest(folder + "/mixed", panel);
        check(hasLine(text, noMemoryLine + "w,1000000,"), "mixed: the next file was written");
        check(bench.theAnalyser->theWrites.size() == 2, "mixed: two writes recorded");
        check(bench.theAnalyser->theReads1.size() == 2, "mixed: two reads recorded");
        check(hasLine(text, "\nOverall = 4\n"), "mixed: the report");
        return check.failures;
    });
    EXPECT_EQ(report, "");
    // Nothing of the large file reached the disk.
    for (const char *sub : {"/multi", "/mixed"}) {
        std::vector<std::uintmax_t> written;
        for (const auto &entry : fs::directory_iterator(folder + sub))
            written.push_back(entry.file_size());
        EXPECT_EQ(written, (std::vector<std::uintmax_t>{oneMB, oneMB})) << sub;
    }
}

TEST_F(AllocationFailureTest, AFileTooLargeForOneBufferIsReadThroughASmallerOne) {
    const std::string path = folder + "/sparse";
    {
        const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        ASSERT_GE(fd, 0);
        ASSERT_EQ(::ftruncate(fd, sparseSize), 0); // holes: nothing is written
        ::close(fd);
    }
    const std::string report = inLimitedChild(64 * MiB, [&] {
        Checks check;
        if (makeReadBuffer(sparseSize).valid())
            return std::string("the limit did not refuse a buffer of the whole file\n");
        const TestBuffer fallback = makeReadBufferUpTo(sparseSize);
        check(fallback.valid() && fallback.size() >= minReadBufferSize &&
                  fallback.size() < sparseSize && fallback.size() % 4096 == 0 &&
                  reinterpret_cast<std::uintptr_t>(fallback.bytes().data()) % 4096 == 0,
              "a smaller, aligned buffer of whole pages");

        PosixSysCalls calls;
        Timebase base{1, 1};
        TimedIo io(calls, base);
        check(io.timedRead(path, 0, sparseSize) > 0.0, "timedRead measures the file");
        check(io.timedUncachedRead(path) > 0.0, "timedUncachedRead measures the file");

        RecordingLog log;
        Bench bench{log, calls, {}};
        bench.readTimebase();
        bench.performMultiRead(folder, PanelSettings{});
        check(bench.theAnalyser->theReads1.size() == 1 &&
                  bench.theAnalyser->theReads1[0].size == sparseSize,
              "the folder read records the file");
        return check.failures;
    });
    EXPECT_EQ(report, "");
}

TEST_F(AllocationFailureTest, WithoutEvenTheSmallestBufferAReadFailsAndLeavesNothingOpen) {
    const std::string path = folder + "/f";
    writeFile(path, 2 * MiB);
    const std::string report = inLimitedChild(8 * MiB, [&] {
        std::string failures;
        failures.reserve(256); // nothing may be allocated once the memory is taken
        // Take every piece of memory left, from the allocator's free lists and the system.
        std::vector<void *> taken;
        taken.reserve(4096);
        while (taken.size() < taken.capacity())
            if (void *p = std::malloc(64 * 1024))
                taken.push_back(p);
            else
                break;
        if (taken.size() == taken.capacity())
            return std::string("the memory did not run out\n");
        PosixSysCalls calls;
        Timebase base{1, 1};
        TimedIo io(calls, base);
        const int descriptors = openDescriptors();
        if (makeReadBufferUpTo(2 * MiB).valid())
            failures += "a buffer was had\n";
        if (io.timedRead(path, 0, 2 * MiB) != failedTime)
            failures += "timedRead did not fail\n";
        if (io.timedUncachedRead(path) != failedTime)
            failures += "timedUncachedRead did not fail\n";
        if (openDescriptors() != descriptors)
            failures += "a descriptor was left open\n";
        for (void *p : taken)
            std::free(p);
        return failures;
    });
    EXPECT_EQ(report, "");
}
