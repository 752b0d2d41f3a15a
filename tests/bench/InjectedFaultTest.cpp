#include "../support/FaultySysCalls.h"
#include "../support/RecordingLog.h"
#include "../support/TempFolder.h"

#include "bench/Bench.h"
#include "bench/TestBuffer.h"
#include "bench/Timebase.h"
#include "bench/TimedIo.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <ostream>

using namespace quorlan;
using namespace quorlan::testing;
namespace fs = std::filesystem;

namespace {

// Every file of these tests: with transfers capped at 4096 bytes, 10000 bytes take three calls
// (4096, 4096, 1808), so a fault can hit the first, a middle or the last one.
constexpr std::int64_t fileSize = 10000;
constexpr std::size_t cappedTransfer = 4096;

enum class Primitive { Read, UncachedRead, Write, WholeWrite };
enum class Expect { Failed, Zero, Measured };

struct FaultCase {
    Primitive primitive;
    std::vector<Fault> faults;
    Expect expect;
    bool refuseDirect = false; // the direct open is refused, so the uncached read reads plainly
    bool reached = true;       // the primitive makes the failing call
};

const char *primitiveName(Primitive p) {
    switch (p) {
    case Primitive::Read:
        return "timedRead";
    case Primitive::UncachedRead:
        return "timedUncachedRead";
    case Primitive::Write:
        return "timedWrite";
    case Primitive::WholeWrite:
        break;
    }
    return "timedWholeWrite";
}

std::string errorName(int error) {
    switch (error) {
    case 0:
        return "NoBytes";
    case EIO:
        return "EIO";
    case ENOSPC:
        return "ENOSPC";
    case EINVAL:
        return "EINVAL";
    case EINTR:
        return "EINTR";
    }
    return std::to_string(error);
}

std::string caseName(const FaultCase &c) {
    std::string name = primitiveName(c.primitive);
    for (const Fault &fault : c.faults) {
        std::string call = fault.call;
        std::replace(call.begin(), call.end(), '-', '_');
        name += "_";
        name += call;
        name += std::to_string(fault.first);
        name += "_";
        name += errorName(fault.error);
    }
    if (c.refuseDirect)
        name += "_NoDirect";
    return name;
}

// Names the row in a failure message.
void PrintTo(const FaultCase &c, std::ostream *out) {
    *out << caseName(c);
}

double run(Primitive p, TimedIo &io, const std::string &path) {
    const TestBuffer data = makeTestData(fileSize, 0x41);
    switch (p) {
    case Primitive::Read:
        return io.timedRead(path, 0, fileSize);
    case Primitive::UncachedRead:
        return io.timedUncachedRead(path);
    case Primitive::Write:
        return io.timedWrite(path, data.bytes());
    case Primitive::WholeWrite:
        break;
    }
    return io.timedWholeWrite(path, data.bytes());
}

using P = Primitive;
using E = Expect;

// One row per primitive, failing step and error. The sentinels: failedTime from timedRead,
// timedUncachedRead and timedWrite, 0.0 from timedWholeWrite; 0.0 too for a read that ends short
// (timedRead) or finds nothing (timedUncachedRead). Steps before the uncached read's interval
// only change how it bypasses the cache, so it is still measured.
const std::vector<FaultCase> faultCases = {
    {P::Read, {{"open", 1, 0, EIO}}, E::Failed},
    {P::Read, {{"lseek", 1, 0, EIO}}, E::Failed},
    {P::Read, {{"read", 1, 0, EIO}}, E::Failed},
    {P::Read, {{"read", 2, 0, EIO}}, E::Failed},
    {P::Read, {{"read", 1, 0, 0}}, E::Zero},
    {P::Read, {{"read", 3, 0, 0}}, E::Zero},
    {P::Read, {{"syncFileData", 1, 0, EIO}}, E::Failed},
    {P::Read, {{"close", 1, 0, EIO}}, E::Failed},

    {P::UncachedRead, {{"open", 1, 0, EIO}}, E::Failed},
    {P::UncachedRead, {{"fstat", 1, 0, EIO}}, E::Failed},
    {P::UncachedRead, {{"fsync", 1, 0, EIO}}, E::Measured},
    {P::UncachedRead, {{"dropCache", 1, 0, EIO}}, E::Measured},
    {P::UncachedRead, {{"close", 1, 0, EIO}}, E::Failed},
    {P::UncachedRead, {{"open-direct", 1, 0, EIO}}, E::Measured},
    {P::UncachedRead, {{"open", 2, 0, EIO}}, E::Failed, true},
    {P::UncachedRead, {{"read", 1, 0, EIO}}, E::Failed},
    {P::UncachedRead, {{"read", 2, 0, EIO}}, E::Failed, true},
    {P::UncachedRead, {{"read", 1, 0, 0}}, E::Zero, true},
    {P::UncachedRead, {{"read", 1, 0, EINVAL}}, E::Measured},
    {P::UncachedRead, {{"read", 1, 0, EINVAL}, {"clearDirect", 1, 0, EIO}}, E::Failed},
    {P::UncachedRead, {{"close", 2, 0, EIO}}, E::Failed},

    {P::Write, {{"open-create", 1, 0, EIO}}, E::Failed},
    {P::Write, {{"open-create", 1, 0, ENOSPC}}, E::Failed},
    {P::Write, {{"write", 1, 0, EIO}}, E::Failed},
    {P::Write, {{"write", 2, 0, EIO}}, E::Failed},
    {P::Write, {{"write", 1, 0, ENOSPC}}, E::Failed},
    {P::Write, {{"write", 3, 0, ENOSPC}}, E::Failed},
    {P::Write, {{"write", 1, 0, 0}}, E::Failed},
    {P::Write, {{"write", 2, 0, 0}}, E::Failed},
    {P::Write, {{"fsync", 1, 0, EIO}}, E::Failed},
    {P::Write, {{"fsync", 1, 0, ENOSPC}}, E::Failed},
    {P::Write, {{"close", 1, 0, EIO}}, E::Failed},
    {P::Write, {{"close", 1, 0, ENOSPC}}, E::Failed},

    {P::WholeWrite, {{"open-create", 1, 0, EIO}}, E::Zero},
    {P::WholeWrite, {{"open-create", 1, 0, ENOSPC}}, E::Zero},
    {P::WholeWrite, {{"write", 1, 0, EIO}}, E::Zero},
    {P::WholeWrite, {{"write", 2, 0, EIO}}, E::Zero},
    {P::WholeWrite, {{"write", 1, 0, ENOSPC}}, E::Zero},
    {P::WholeWrite, {{"write", 3, 0, ENOSPC}}, E::Zero},
    {P::WholeWrite, {{"write", 1, 0, 0}}, E::Zero},
    {P::WholeWrite, {{"write", 2, 0, 0}}, E::Zero},
    {P::WholeWrite, {{"close", 1, 0, EIO}}, E::Zero},
    {P::WholeWrite, {{"close", 1, 0, ENOSPC}}, E::Zero},
};

// The calls a primitive must never make: a fault there changes nothing.
const std::vector<FaultCase> untouchedCases = {
    // A read's sync is not fsync; the whole write has none; a write syncs with fsync.
    {P::Read, {{"fsync", 1, 0, EIO}}, E::Measured, false, false},
    {P::WholeWrite, {{"fsync", 1, 0, EIO}}, E::Measured, false, false},
    {P::Write, {{"syncFileData", 1, 0, EIO}}, E::Measured, false, false},
};

} // namespace

class PrimitiveFaultTest : public ::testing::TestWithParam<FaultCase> {
protected:
    TempFolder scratch;
    std::string folder = scratch.path();
    FaultySysCalls calls;
    Timebase base{1, 1};
    TimedIo io{calls, base};
};

TEST_P(PrimitiveFaultTest, GivesItsSentinelAndKeepsNoDescriptor) {
    const FaultCase &c = GetParam();
    const std::string path = folder + "/f";
    if (c.primitive == P::Read || c.primitive == P::UncachedRead)
        writeFile(path, fileSize);
    calls.maxTransfer = cappedTransfer;
    calls.refuseDirect = c.refuseDirect;
    calls.faults = c.faults;
    const int descriptors = openDescriptorCount();

    const double time = run(c.primitive, io, path);

    switch (c.expect) {
    case E::Failed:
        EXPECT_EQ(time, failedTime);
        break;
    case E::Zero:
        EXPECT_EQ(time, 0.0);
        break;
    case E::Measured:
        EXPECT_GT(time, 0.0);
        break;
    }
    EXPECT_EQ(openDescriptorCount(), descriptors);
    EXPECT_EQ(calls.strayCloses, 0);
    for (const Fault &fault : c.faults) { // the fault was reached, not passed by, or never made
        if (c.reached) {
            EXPECT_GE(calls.callCounts[fault.call], fault.first) << fault.call;
        } else {
            EXPECT_EQ(calls.callCounts[fault.call], 0) << fault.call;
        }
    }
    if (c.primitive == P::Write && c.expect == E::Failed && c.faults[0].call != "open-create") {
        EXPECT_EQ(calls.calls.back(), "close"); // closed even after a failure inside
    }
}

INSTANTIATE_TEST_SUITE_P(EveryStep, PrimitiveFaultTest, ::testing::ValuesIn(faultCases),
                         [](const auto &info) { return caseName(info.param); });
INSTANTIATE_TEST_SUITE_P(StepsNotTaken, PrimitiveFaultTest, ::testing::ValuesIn(untouchedCases),
                         [](const auto &info) { return caseName(info.param); });

class InterruptedCallTest : public ::testing::Test {
protected:
    TempFolder scratch;
    std::string folder = scratch.path();
    FaultySysCalls calls;
    Timebase base{1, 1};
    TimedIo io{calls, base};
    int descriptorsBefore = openDescriptorCount();

    void TearDown() override {
        EXPECT_EQ(openDescriptorCount(), descriptorsBefore);
        EXPECT_EQ(calls.strayCloses, 0);
    }
    int count(const std::string &name) { return calls.callCounts[name]; }
    int opens() { return count("open") + count("open-direct") + count("open-create"); }
};

TEST_F(InterruptedCallTest, EveryCallButCloseIsMadeAgainUntilItGoesThrough) {
    constexpr int times = 3; // each call fails three times, then goes through
    calls.eintrEverywhere = times;
    calls.maxTransfer = cappedTransfer;
    const TestBuffer data = makeTestData(fileSize, 0x1A);
    EXPECT_GT(io.timedWrite(folder + "/w", data.bytes()), 0.0);
    EXPECT_GT(io.timedWholeWrite(folder + "/h", data.bytes()), 0.0);
    EXPECT_EQ(fileContents(folder + "/w"), std::string(fileSize, '\x1A'));
    EXPECT_EQ(fileContents(folder + "/h"), std::string(fileSize, '\x1A'));
    EXPECT_GT(io.timedRead(folder + "/w", 0, fileSize), 0.0);
    EXPECT_GT(io.timedRead(folder + "/w", 5000, 5000), 0.0);
    EXPECT_GT(io.timedUncachedRead(folder + "/w"), 0.0);
    EXPECT_EQ(io.lastCacheMode(), CacheMode::Direct); // the interrupted fsync and drop went on
    // A direct read the file system refuses after all: the flag is cleared, interrupted too.
    // Calls count every attempt: the fourth read is the first to get past the interruptions.
    calls.faults = {{"read", count("read") + times + 1, 0, EINVAL}};
    EXPECT_GT(io.timedUncachedRead(folder + "/w"), 0.0);
    EXPECT_EQ(io.lastCacheMode(), CacheMode::PagesDropped);

    for (const char *name : {"open", "open-direct", "open-create", "lseek", "fstat", "read",
                             "write", "fsync", "syncFileData", "dropCache", "clearDirect"}) {
        EXPECT_GT(count(name), 0) << name;
        EXPECT_EQ(count(name) % (times + 1), 0) << name; // each went through after three
    }
    // A close that reports EINTR has released its descriptor: one close per descriptor.
    EXPECT_EQ(count("close"), opens() / (times + 1));
}

TEST_F(InterruptedCallTest, AnInterruptedCloseCountsAsDoneAndIsNeverMadeAgain) {
    calls.faults = {{"close", 1, 1, EINTR}}; // every close
    writeFile(folder + "/r", fileSize);
    const TestBuffer data = makeTestData(fileSize, 0);
    EXPECT_GT(io.timedWrite(folder + "/w", data.bytes()), 0.0);
    EXPECT_GT(io.timedWholeWrite(folder + "/h", data.bytes()), 0.0);
    EXPECT_GT(io.timedRead(folder + "/r", 0, fileSize), 0.0);
    EXPECT_GT(io.timedUncachedRead(folder + "/r"), 0.0);
    EXPECT_EQ(count("close"), opens());
    EXPECT_EQ(count("close"), 5); // the uncached read opens twice
}

TEST_F(InterruptedCallTest, BenchStatsAgainAndEveryTestMeasuresEveryFile) {
    RecordingLog log;
    const std::vector<std::int64_t> sizes = {20000, 40000, 60000};
    Bench bench{log, calls, sizes};
    bench.readTimebase();
    bench.theSizes = sizes;
    bench.setRandomSizes(RandomSizes(42));
    PanelSettings panel;
    calls.eintrEverywhere = 2;

    bench.performMultiWrite(folder, panel);
    EXPECT_EQ(bench.lastRun.results.size(), 3u);
    bench.performMultiRead(folder, panel); // lstat of every entry
    EXPECT_EQ(bench.lastRun.results.size(), 3u);
    panel.noCache = 1;
    bench.performMultiRead(folder, panel);
    EXPECT_EQ(bench.theAnalyser->theReads2.size(), 3u);
    panel.noCache = 0;
    const std::string mixed = folder + "/mixed";
    fs::create_directory(mixed);
    bench.performMixedTest(mixed, panel); // stat of every numbered file
    EXPECT_EQ(bench.theAnalyser->theWrites.size(), 3u);
    EXPECT_EQ(bench.theAnalyser->theReads1.size(), 3u);
    log.text.clear();
    bench.runReadTest(folder + "/1-0.tiff", panel); // stat of the one file
    EXPECT_EQ(bench.lastRun.results.size(), 1u);
    EXPECT_NE(log.text.find("\nr,"), std::string::npos) << log.text;

    EXPECT_GT(count("stat"), 0);
    EXPECT_EQ(count("stat") % 3, 0);
    EXPECT_GT(count("lstat"), 0);
    EXPECT_EQ(count("lstat") % 3, 0);
}

namespace {

const std::vector<std::int64_t> smallSizes = {20000, 40000, 60000, 80000};

std::size_t occurrences(const std::string &text, const std::string &what) {
    std::size_t n = 0;
    for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1))
        ++n;
    return n;
}

std::vector<std::string> recordedPaths(const Bench &bench) {
    std::vector<std::string> paths;
    for (const RecordedResult &r : bench.lastRun.results)
        paths.push_back(r.path);
    return paths;
}

// The files in the order they were first opened.
std::vector<std::string> firstOpens(const std::vector<std::string> &opened) {
    std::vector<std::string> order;
    for (const std::string &path : opened)
        if (std::find(order.begin(), order.end(), path) == order.end())
            order.push_back(path);
    return order;
}

} // namespace

class FaultyRunTest : public ::testing::Test {
protected:
    TempFolder scratch;
    std::string folder = scratch.path();
    RecordingLog log;
    FaultySysCalls calls;
    Bench bench{log, calls, smallSizes};
    PanelSettings panel;
    int descriptorsBefore = openDescriptorCount();

    void SetUp() override {
        bench.readTimebase();
        bench.theSizes = bench.theStdSizes;
        bench.setRandomSizes(RandomSizes(42));
        panel.verbose = 1;
    }
    void TearDown() override {
        EXPECT_EQ(openDescriptorCount(), descriptorsBefore);
        EXPECT_EQ(calls.strayCloses, 0);
    }
    // The run ended as every run does: report, path line, footer.
    void expectEnding(const std::string &report) {
        EXPECT_NE(log.text.find(report), std::string::npos) << log.text;
        EXPECT_NE(log.text.find("\nTest path " + folder + "\n"), std::string::npos);
        EXPECT_NE(log.text.find("Quorlan version "), std::string::npos);
    }
    std::string at(const std::string &name) const { return folder + "/" + name; }
};

TEST_F(FaultyRunTest, MultiWriteRecordsEveryFileWhoseWriteDidNotFail) {
    for (int error : {EIO, ENOSPC, 0}) {
        SCOPED_TRACE(errorName(error));
        log.text.clear();
        calls.callCounts.clear();
        calls.faults = {{"write", 2, 2, error}}; // the second and fourth file
        bench.performMultiWrite(folder, panel);
        EXPECT_EQ(recordedPaths(bench), (std::vector<std::string>{at("1-0.tiff"), at("1-2.tiff")}));
        EXPECT_EQ(bench.theAnalyser->theWrites.size(), 2u);
        EXPECT_EQ(occurrences(log.text, "\nw,"), 2u);
        for (std::size_t i : {0u, 2u})
            EXPECT_NE(log.text.find("\nw," + std::to_string(bench.theSizes[i]) + ","),
                      std::string::npos);
        expectEnding("\nWrite = 2\n");
        EXPECT_EQ(calls.callCounts["open-create"], 4);
        EXPECT_EQ(calls.callCounts["close"], 4);
    }
}

TEST_F(FaultyRunTest, MultiReadRecordsEveryFileWhoseReadDidNotFail) {
    for (std::size_t i = 0; i < smallSizes.size(); ++i)
        writeFile(at(std::string(1, static_cast<char>('a' + i))), smallSizes[i]);
    for (int noCache : {0, 1}) {
        SCOPED_TRACE(noCache);
        panel.noCache = noCache;
        log.text.clear();
        calls.openedPaths.clear();
        calls.callCounts.clear();
        calls.faults = {{"read", 2, 2, EIO}}; // one read per file: the second and fourth file
        bench.performMultiRead(folder, panel);
        const std::vector<std::string> order = firstOpens(calls.openedPaths);
        ASSERT_EQ(order.size(), 4u);
        EXPECT_EQ(recordedPaths(bench), (std::vector<std::string>{order[0], order[2]}));
        EXPECT_EQ(occurrences(log.text, noCache ? "\nr*," : "\nr,"), 2u);
        expectEnding(noCache ? "\nRead (noncache) = 2\n" : "\nRead (regular) n = 2\n");
    }
}

TEST_F(FaultyRunTest, MixedRunRecordsWhatSucceededInEachHalf) {
    // The writes of 1.tiff and 3.tiff fail and leave empty files, which are read but too small
    // to count; of the two reads left, the second (2.tiff) fails.
    calls.faults = {{"write", 2, 2, EIO}, {"read", 2, 2, EIO}};
    bench.performMixedTest(folder, panel);
    EXPECT_EQ(fs::file_size(at("1.tiff")), 0u);
    ASSERT_EQ(bench.theAnalyser->theWrites.size(), 2u);
    ASSERT_EQ(bench.theAnalyser->theReads1.size(), 1u);
    EXPECT_EQ(recordedPaths(bench),
              (std::vector<std::string>{at("0.tiff"), at("2.tiff"), at("0.tiff")}));
    EXPECT_EQ(calls.callCounts["read"], 2);
    EXPECT_EQ(occurrences(log.text, "\nw,"), 2u);
    EXPECT_EQ(occurrences(log.text, "\nr,"), 1u);
    expectEnding("\nOverall = 3\n");
}
