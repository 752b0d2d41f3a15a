// Multi-file tests on a volume that really fills up: a small tmpfs mounted for each test.

#include "../support/FaultySysCalls.h"
#include "../support/RecordingLog.h"
#include "../support/ScratchMount.h"
#include "../support/TempFolder.h"

#include "bench/Bench.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <set>
#include <sstream>

using namespace quorlan;
using namespace quorlan::testing;
namespace fs = std::filesystem;

namespace {

constexpr std::int64_t volumeBytes = 8 << 20;
// Ten million bytes on an 8 MiB volume: the first file always fits, the run always overflows.
const std::vector<std::int64_t> overflowingSizes = {1000000, 2000000, 3000000, 4000000};

// The size field of every log line of the given kind ("w", "r", "r*"), in log order.
std::vector<std::int64_t> lineSizes(const std::string &log, const std::string &kind) {
    std::vector<std::int64_t> sizes;
    std::istringstream lines(log);
    const std::string prefix = kind + ",";
    for (std::string line; std::getline(lines, line);) {
        if (line.rfind(prefix, 0) == 0)
            sizes.push_back(std::stoll(line.substr(prefix.size())));
    }
    return sizes;
}

std::vector<std::int64_t> sizesOf(const std::vector<Result> &results) {
    std::vector<std::int64_t> sizes;
    for (const Result &result : results)
        sizes.push_back(result.size);
    return sizes;
}

std::vector<std::int64_t> sorted(std::vector<std::int64_t> v) {
    std::sort(v.begin(), v.end());
    return v;
}

// The rows of the report's size table under header, up to the blank line that ends it.
std::vector<std::int64_t> tableSizes(const std::string &log, const std::string &header) {
    std::vector<std::int64_t> sizes;
    const std::size_t at = log.find(header);
    if (at == std::string::npos)
        return sizes;
    std::istringstream rows(log.substr(at + header.size()));
    for (std::string row; std::getline(rows, row) && !row.empty();)
        sizes.push_back(std::stoll(row));
    return sizes;
}

std::int64_t sizeOnDisk(const std::string &path) {
    std::error_code error;
    const auto size = fs::file_size(path, error);
    return error ? -1 : static_cast<std::int64_t>(size);
}

// Every file a test was about to write, with the size it was meant to hold, in order.
struct PlannedFiles : ProgressSink {
    std::vector<Progress> writes;
    void fileStarted(const Progress &p) override {
        if (p.writePhase || p.bytes > 0)
            writes.push_back(p);
    }
};

class FullVolumeTest : public ::testing::Test {
protected:
    RecordingLog log;
    FaultySysCalls calls; // real calls, with the scripted tick counter: every interval > 0
    Bench bench{log, calls, overflowingSizes};
    PanelSettings panel;
    PlannedFiles planned;

    void SetUp() override {
        bench.readTimebase();
        bench.theSizes = bench.theStdSizes;
        bench.setRandomSizes(RandomSizes(42));
        bench.setProgressSink(&planned);
        panel.verbose = 1;
        panel.contentIndex = 1; // fill byte 0x88
    }
};

} // namespace

TEST_F(FullVolumeTest, MultiWriteRecordsExactlyTheFilesThatFitAndKeepsThem) {
    ScratchMount mount(volumeBytes);
    QUORLAN_REQUIRE_SCRATCH_MOUNT(mount);
    const int descriptors = openDescriptorCount();
    panel.repeats = "2"; // the second pass finds the volume already full
    bench.performMultiWrite(mount.path(), panel);
    EXPECT_EQ(openDescriptorCount(), descriptors);

    ASSERT_EQ(planned.writes.size(), 8u);
    std::vector<std::int64_t> fullSizes; // sizes of the files holding their whole size, in order
    std::set<std::string> plannedNames;
    for (const Progress &p : planned.writes) {
        plannedNames.insert(fs::path(p.path).filename().string());
        const std::int64_t onDisk = sizeOnDisk(p.path);
        if (onDisk != p.bytes)
            continue;
        fullSizes.push_back(p.bytes);
        EXPECT_EQ(fileContents(p.path), std::string(static_cast<std::size_t>(p.bytes), '\x88'))
            << p.path;
    }
    ASSERT_FALSE(fullSizes.empty()) << "the first file always fits";
    ASSERT_LT(fullSizes.size(), planned.writes.size()) << "the volume never filled up";

    // A failed write leaves no line, no result and no record; every success leaves all three.
    EXPECT_EQ(log.text.rfind("type,size,time,rate\n", 0), 0u);
    EXPECT_EQ(lineSizes(log.text, "w"), fullSizes) << log.text;
    EXPECT_EQ(sizesOf(bench.theAnalyser->theWrites), fullSizes);
    EXPECT_EQ(bench.lastRun.results.size(), fullSizes.size());
    EXPECT_FALSE(bench.lastRun.cancelled);

    // The report covers the successes only.
    const std::string n = std::to_string(fullSizes.size());
    EXPECT_NE(log.text.find("\nWrite = " + n + "\n"), std::string::npos) << log.text;
    EXPECT_NE(log.text.find("\nWrite n = " + n + "\n"), std::string::npos);
    EXPECT_NE(log.text.find("\nOverall = " + n + "\n"), std::string::npos);
    const std::set<std::int64_t> distinct(fullSizes.begin(), fullSizes.end());
    EXPECT_EQ(tableSizes(log.text, "\nsize_write,rate_write\n"),
              std::vector<std::int64_t>(distinct.begin(), distinct.end()));
    EXPECT_NE(log.text.find("\nTest path " + mount.path() + "\n"), std::string::npos);
    EXPECT_NE(log.text.find("\nQuorlan version "), std::string::npos);

    // Nothing but the test's own names landed on the volume.
    for (const auto &entry : fs::directory_iterator(mount.path()))
        EXPECT_TRUE(plannedNames.count(entry.path().filename().string())) << entry.path();
}

TEST_F(FullVolumeTest, MixedReadsWhatEachPositionHoldsAfterTheVolumeFilled) {
    // Stored order 3, 4, 2, 1 MB: 0.tiff and 1.tiff fit, 2.tiff is cut short where the volume
    // filled, 3.tiff is left empty. A file cut short is read back at its actual size: it is a
    // valid read of whatever that name holds, and it is recorded like any other read.
    for (const bool noCache : {false, true}) {
        SCOPED_TRACE(noCache ? "uncached" : "cached");
        ScratchMount mount(volumeBytes);
        QUORLAN_REQUIRE_SCRATCH_MOUNT(mount);
        const int descriptors = openDescriptorCount();
        log.text.clear();
        planned.writes.clear();
        bench.theSizes = {3000000, 4000000, 2000000, 1000000};
        panel.noCache = noCache ? 1 : 0;
        panel.repeats = "2";
        bench.performMixedTest(mount.path(), panel);
        EXPECT_EQ(openDescriptorCount(), descriptors);

        std::vector<std::int64_t> fullSizes, readSizes;
        int cutShort = 0;
        for (std::size_t i = 0; i < 4; ++i) {
            const std::string path = mount.path() + "/" + std::to_string(i) + ".tiff";
            const std::int64_t onDisk = sizeOnDisk(path);
            const std::int64_t meant = planned.writes.at(i).bytes;
            if (onDisk == meant) {
                fullSizes.push_back(meant);
                EXPECT_EQ(fileContents(path), std::string(static_cast<std::size_t>(meant), '\x88'));
            } else if (onDisk > Bench::theMinReadSize) {
                ++cutShort;
            }
            if (onDisk > Bench::theMinReadSize) // read once in each of the two passes
                readSizes.insert(readSizes.end(), 2, onDisk);
        }
        ASSERT_EQ(fullSizes.size(), 2u);
        ASSERT_EQ(cutShort, 1) << "the overflowing write left no partial file to read";

        EXPECT_EQ(lineSizes(log.text, "w"), fullSizes) << log.text;
        EXPECT_EQ(sizesOf(bench.theAnalyser->theWrites), fullSizes);
        const auto &reads = noCache ? bench.theAnalyser->theReads2 : bench.theAnalyser->theReads1;
        EXPECT_EQ(sorted(sizesOf(reads)), sorted(readSizes));
        EXPECT_EQ(sorted(lineSizes(log.text, noCache ? "r*" : "r")), sorted(readSizes));
        EXPECT_TRUE(
            (noCache ? bench.theAnalyser->theReads1 : bench.theAnalyser->theReads2).empty());
        EXPECT_EQ(bench.lastRun.results.size(), fullSizes.size() + readSizes.size());

        const std::string readCount = std::to_string(readSizes.size());
        EXPECT_NE(log.text.find(noCache ? "\nRead (noncache) = " + readCount + "\n"
                                        : "\nRead (regular) n = " + readCount + "\n"),
                  std::string::npos)
            << log.text;
        EXPECT_NE(log.text.find("\nWrite = 2\n"), std::string::npos);
        EXPECT_NE(log.text.find("\nOverall = " + std::to_string(2 + readSizes.size()) + "\n"),
                  std::string::npos);
        EXPECT_NE(log.text.find("\nTest path " + mount.path() + "\n"), std::string::npos);
    }
}
