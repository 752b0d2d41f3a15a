#include "../support/FaultySysCalls.h"
#include "../support/RecordingLog.h"
#include "../support/TempFolder.h"

#include "bench/Bench.h"
#include "bench/VolumeInfo.h"
#include "log/LogSink.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <regex>

using namespace quorlan;
using namespace quorlan::testing;
namespace fs = std::filesystem;

namespace {

// Cancels the run when the given file is about to start.
struct CancelAt : ProgressSink {
    CancelToken &token;
    std::int64_t at;
    std::vector<Progress> seen;
    CancelAt(CancelToken &t, std::int64_t file) : token(t), at(file) {}
    void fileStarted(const Progress &p) override {
        seen.push_back(p);
        if (p.file == at)
            token.cancel();
    }
};

std::vector<std::int64_t> sorted(std::vector<std::int64_t> v) {
    std::sort(v.begin(), v.end());
    return v;
}

std::size_t count(const std::string &text, const std::string &what) {
    std::size_t n = 0;
    for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1))
        ++n;
    return n;
}

const std::vector<std::int64_t> smallSizes = {20000, 40000, 60000, 80000};

} // namespace

class MultiFileTest : public ::testing::Test {
protected:
    TempFolder scratch;
    std::string folder = scratch.path();
    RecordingLog log;
    FaultySysCalls calls;
    Bench bench{log, calls, smallSizes};
    PanelSettings panel;

    void SetUp() override {
        bench.readTimebase();
        bench.theSizes = bench.theStdSizes;
        bench.setRandomSizes(RandomSizes(42));
    }
    std::int64_t sizeOf(const std::string &name) const {
        return static_cast<std::int64_t>(fs::file_size(folder + "/" + name));
    }
};

TEST_F(MultiFileTest, PassesNameTheirFilesAndLeaveTheLastListInTheSizes) {
    panel.repeats = "3";
    bench.performMultiWrite(folder, panel);
    for (int pass = 1; pass <= 3; ++pass) {
        std::vector<std::int64_t> sizes;
        for (int i = 0; i < 4; ++i)
            sizes.push_back(sizeOf(std::to_string(pass) + "-" + std::to_string(i) + ".tiff"));
        EXPECT_EQ(sorted(sizes), smallSizes);
        if (pass == 3) { // the third pass's list, in its order
            EXPECT_EQ(bench.theSizes, sizes);
        }
    }
    EXPECT_FALSE(fs::exists(folder + "/4-0.tiff"));
    EXPECT_EQ(bench.theAnalyser->theWrites.size(), 12u);
    // Not verbose: the log holds the report, the path line and the footer only.
    EXPECT_EQ(log.text.rfind("\nWrite = 12\n", 0), 0u) << log.text;
    EXPECT_EQ(count(log.text, "w,"), 0u);
    EXPECT_EQ(bench.writeResultText(), bench.theAnalyser->theWriteResult);
}

TEST_F(MultiFileTest, VerboseRandomPassesWithEmptyOrZeroLengthStillWriteFiles) {
    panel.isRandom = 1;
    panel.verbose = 1;
    panel.length = "";
    bench.setRandomSizes(RandomSizes(7, 100000));
    calls.fakeWrites = true;
    bench.performMultiWrite(folder, panel);
    EXPECT_EQ(bench.theSizes.size(), 5u);
    for (std::int64_t size : bench.theSizes) {
        EXPECT_GE(size, 20000);
        EXPECT_LE(size, 100000);
    }
    EXPECT_EQ(log.text.rfind("type,size,time,rate\nw,", 0), 0u);
    EXPECT_EQ(count(log.text, "\nw,"), 5u);
    panel.length = "0";
    panel.repeats = "-3";
    bench.performMultiWrite(folder, panel);
    EXPECT_EQ(bench.theSizes.size(), 1u); // at least one file, at least one pass
}

// A length far beyond what could ever be written is cut to the most a pass draws, with a line
// that says so, instead of filling memory with sizes before the first file.
TEST_F(MultiFileTest, AHugeRandomLengthIsCutToTheMostAPassDraws) {
    CancelToken token;
    CancelAt stopper(token, 2);
    bench.setCancelToken(&token);
    bench.setProgressSink(&stopper);
    bench.setRandomSizes(RandomSizes(42, 100000));
    calls.fakeWrites = true;
    panel.isRandom = 1;
    panel.length = "1e12";
    bench.performMultiWrite(folder, panel);
    EXPECT_EQ(log.text.rfind("The length 1000000000000 is more random sizes than a pass can hold; "
                             "each pass takes 1000000.\nTest cancelled.\n",
                             0),
              0u)
        << log.text.substr(0, 200);
    EXPECT_EQ(bench.theSizes.size(), 1000000u);
    ASSERT_FALSE(stopper.seen.empty());
    EXPECT_EQ(stopper.seen[0].files, 1000000);

    // The mixed test's read passes draw their lists the same way.
    log.text.clear();
    token.clear();
    stopper.seen.clear();
    bench.theSizes = {20000};
    panel.length = "9223372036854775807";
    bench.performMixedTest(folder, panel);
    EXPECT_NE(log.text.find("The length 9223372036854775807 is more random sizes"),
              std::string::npos);
    ASSERT_GE(stopper.seen.size(), 2u); // the one file written, then the first read
    EXPECT_TRUE(stopper.seen[0].writePhase);
    EXPECT_EQ(stopper.seen[1].files, 1000000);

    // At the limit itself nothing is said.
    log.text.clear();
    token.clear();
    panel.length = "1000000";
    bench.performMultiWrite(folder, panel);
    EXPECT_EQ(log.text.find("random sizes than a pass"), std::string::npos);
    EXPECT_EQ(bench.theSizes.size(), 1000000u);
}

TEST_F(MultiFileTest, FailedWritesLeaveNoLineAndNoResult) {
    panel.verbose = 1;
    calls.failFsyncErrno = EIO;
    bench.performMultiWrite(folder, panel);
    EXPECT_TRUE(bench.theAnalyser->theWrites.empty());
    EXPECT_EQ(count(log.text, "w,"), 0u);
    EXPECT_NE(log.text.find("\nTest path " + folder + "\n"), std::string::npos);
}

TEST_F(MultiFileTest, WriteTestFileOfSizeZeroAndWithoutVerbose) {
    bench.writeTestFile(folder + "/z", 0, true, panel);
    EXPECT_EQ(sizeOf("z"), 0);
    EXPECT_TRUE(bench.theAnalyser->theRates.empty());
    bench.writeTestFile(folder + "/q", 30000, false, panel);
    EXPECT_EQ(bench.theAnalyser->theWrites.size(), 1u);
    EXPECT_EQ(log.text, "");
}

TEST_F(MultiFileTest, ReusedTestDataKeepsEachFilesSizeAndFillByte) {
    auto content = [&](const std::string &name) { return fileContents(folder + "/" + name); };
    panel.contentIndex = 1;
    bench.writeTestFile(folder + "/big", 40000, false, panel);
    bench.writeTestFile(folder + "/small", 20000, false, panel);
    panel.contentIndex = 3;
    bench.writeTestFile(folder + "/other", 20000, false, panel);
    bench.writeTestFile(folder + "/bigger", 60000, false, panel);
    EXPECT_EQ(content("big"), std::string(40000, '\x88'));
    EXPECT_EQ(content("small"), std::string(20000, '\x88'));
    EXPECT_EQ(content("other"), std::string(20000, '\x41'));
    EXPECT_EQ(content("bigger"), std::string(60000, '\x41'));
}

TEST_F(MultiFileTest, FolderReadFiltersSmallFilesLinksAndFolders) {
    writeFile(folder + "/small", 9999);
    writeFile(folder + "/exact", 10000);
    writeFile(folder + "/.hidden", 20000);
    fs::create_directories(folder + "/sub/deeper");
    writeFile(folder + "/sub/deeper/inner", 30000);
    fs::create_symlink(folder + "/exact", folder + "/link");
    fs::create_directory_symlink(folder, folder + "/sub/loop");
    panel.verbose = 1;
    panel.noCache = 1;
    panel.repeats = "2";
    bench.performMultiRead(folder, panel);
    const auto &reads = bench.theAnalyser->theReads2;
    ASSERT_EQ(reads.size(), 6u); // exact, .hidden and inner, twice; no link, no folder
    EXPECT_TRUE(bench.theAnalyser->theReads1.empty());
    EXPECT_EQ(bench.theAnalyser->theSizeSet, (std::set<std::int64_t>{10000, 20000, 30000}));
    EXPECT_EQ(log.text.rfind("type,size,time,rate\nr*,", 0), 0u);
    EXPECT_EQ(count(log.text, "\nr*,"), 6u);
    EXPECT_EQ(count(log.text, "\nr*,10000,"), 2u);
    EXPECT_EQ(bench.writeResultText(), "0.00 MB/s");
}

TEST_F(MultiFileTest, FolderReadSkipsWhatItCannotListOrFindAndReadsAnyName) {
    // A subfolder that cannot be listed is read as a folder and left out; the walk goes on.
    fs::create_directories(folder + "/locked");
    writeFile(folder + "/locked/inside", 40000);
    writeFile(folder + "/kept", 20000);
    // A name that is not UTF-8 is read byte for byte.
    const std::string oddName = folder + "/odd\xff\xfe name";
    writeFile(oddName, 30000);
    // A file that vanishes between the listing and its read is skipped.
    writeFile(folder + "/gone", 50000);
    struct DeleteGone : ProgressSink {
        std::vector<std::string> paths;
        void fileStarted(const Progress &p) override {
            paths.push_back(p.path);
            if (p.path.ends_with("/gone"))
                fs::remove(p.path);
        }
    } progress;
    bench.setProgressSink(&progress);
    calls.refuseListing = "/locked";
    panel.verbose = 1;
    bench.performMultiRead(folder, panel);
    EXPECT_EQ(bench.theAnalyser->theSizeSet, (std::set<std::int64_t>{20000, 30000}));
    EXPECT_EQ(count(log.text, "\nr,"), 2u);
    EXPECT_EQ(progress.paths.size(), 4u); // locked, kept, odd, gone; nothing inside locked
    EXPECT_NE(std::find(progress.paths.begin(), progress.paths.end(), oddName),
              progress.paths.end());

    // The folder itself cannot be listed: an empty report, the path line and the footer.
    log.text.clear();
    calls.refuseListing = folder;
    bench.performMultiRead(folder, panel);
    EXPECT_TRUE(bench.theAnalyser->theRates.empty());
    EXPECT_NE(log.text.find("\nTest path " + folder + "\n"), std::string::npos) << log.text;
}

TEST_F(MultiFileTest, FolderOfSmallFilesRecordsNothingButReadsThemAll) {
    writeFile(folder + "/a", 100);
    writeFile(folder + "/b", 9999);
    bench.performMultiRead(folder, panel);
    EXPECT_TRUE(bench.theAnalyser->theRates.empty());
    EXPECT_EQ(std::count(calls.calls.begin(), calls.calls.end(), "open"), 2);
    EXPECT_EQ(log.text.rfind("\nOverall = 0\n", 0), 0u) << log.text;
}

TEST_F(MultiFileTest, MissingFolderStillEndsWithReportPathAndFooter) {
    bench.performMultiRead(folder + "/gone", panel);
    EXPECT_NE(log.text.find("\nTest path " + folder + "/gone\n"), std::string::npos);
    EXPECT_NE(log.text.find("Quorlan version "), std::string::npos);
}

TEST_F(MultiFileTest, MixedFirstRunWritesTheStoredOrderAndReadsEveryPass) {
    panel.repeats = "2";
    bench.performMixedTest(folder, panel);
    for (std::size_t i = 0; i < smallSizes.size(); ++i)
        EXPECT_EQ(sizeOf(std::to_string(i) + ".tiff"), smallSizes[i]);
    EXPECT_EQ(bench.theAnalyser->theWrites.size(), 4u);
    EXPECT_EQ(bench.theAnalyser->theReads1.size(), 8u);
    // The next run writes with the list the second pass chose.
    const std::vector<std::int64_t> next = bench.theSizes;
    panel.repeats = "1";
    bench.performMixedTest(folder, panel);
    for (std::size_t i = 0; i < next.size(); ++i)
        EXPECT_EQ(sizeOf(std::to_string(i) + ".tiff"), next[i]);
}

TEST_F(MultiFileTest, MixedRandomLengthSetsOnlyHowManyFilesArePassRead) {
    panel.isRandom = 1;
    panel.length = "2";
    panel.verbose = 1;
    calls.fakeWrites = true;
    bench.performMixedTest(folder, panel); // writes four (faked), reads 0.tiff and 1.tiff
    EXPECT_EQ(bench.theAnalyser->theWrites.size(), 4u);
    EXPECT_EQ(bench.theSizes.size(), 2u);
    const std::string &text = log.text;
    EXPECT_LT(text.rfind("\nw,"),
              text.find("\nr,") == std::string::npos ? text.size() : text.find("\nr,"));
}

TEST_F(MultiFileTest, MixedSkipsPositionsWithNoFile) {
    bench.theSizes = {20000, 30000};
    panel.isRandom = 1;
    panel.length = "5";
    panel.noCache = 1;
    bench.performMixedTest(folder, panel);
    EXPECT_EQ(bench.theAnalyser->theWrites.size(), 2u);
    EXPECT_EQ(bench.theAnalyser->theReads2.size(), 2u); // 2.tiff to 4.tiff do not exist
    EXPECT_FALSE(fs::exists(folder + "/2.tiff"));
}

TEST_F(MultiFileTest, CancelAfterTheFirstFileStillEndsTheRun) {
    CancelToken token;
    CancelAt stopper(token, 1);
    bench.setCancelToken(&token);
    bench.setProgressSink(&stopper);
    panel.repeats = "3";
    bench.performMultiWrite(folder, panel);
    EXPECT_EQ(bench.theAnalyser->theWrites.size(), 1u);
    EXPECT_FALSE(fs::exists(folder + "/1-1.tiff"));
    EXPECT_EQ(log.text.rfind("Test cancelled.\n\nWrite = 1\n", 0), 0u) << log.text;
    EXPECT_NE(log.text.find("\nTest path " + folder + "\n"), std::string::npos);
    ASSERT_EQ(stopper.seen.size(), 1u);
    EXPECT_EQ(stopper.seen[0].passes, 3);
    EXPECT_EQ(stopper.seen[0].files, 4);
}

TEST(RandomSizes, ShuffleIsAPermutationAndSeedsRepeat) {
    RandomSizes a(5), b(5);
    std::vector<std::int64_t> x = smallSizes, y = smallSizes;
    a.shuffleSizes(x);
    b.shuffleSizes(y);
    EXPECT_EQ(x, y);
    EXPECT_EQ(sorted(x), smallSizes);
    std::vector<std::int64_t> one = {7};
    a.shuffleSizes(one);
    EXPECT_EQ(one, std::vector<std::int64_t>{7});
    // Every position is reachable: over many shuffles each value lands first at least once.
    std::set<std::int64_t> firsts;
    for (int i = 0; i < 200; ++i) {
        std::vector<std::int64_t> v = smallSizes;
        a.shuffleSizes(v);
        firsts.insert(v.front());
    }
    EXPECT_EQ(firsts.size(), smallSizes.size());
    // Sizes stay within the closed range, and a small range shows both of its ends.
    for (int i = 0; i < 1000; ++i) {
        const std::int64_t size = a.randomSize();
        ASSERT_GE(size, 20000);
        ASSERT_LE(size, 2000000000);
    }
    RandomSizes narrow(9, 20001);
    std::set<std::int64_t> drawn;
    for (int i = 0; i < 100; ++i)
        drawn.insert(narrow.randomSize());
    EXPECT_EQ(drawn, (std::set<std::int64_t>{20000, 20001}));
}

TEST_F(MultiFileTest, ProgressCountsTheBytesOfEachPassAndMarksTheMixedWrites) {
    struct Recorder : ProgressSink {
        std::vector<Progress> seen;
        void fileStarted(const Progress &p) override { seen.push_back(p); }
    } recorder;
    bench.setProgressSink(&recorder);
    panel.repeats = "2";
    bench.performMixedTest(folder, panel);
    ASSERT_EQ(recorder.seen.size(), 12u); // four writes, then two passes of four reads
    std::int64_t before = 0;
    for (std::size_t i = 0; i < 4; ++i) {
        const Progress &p = recorder.seen[i];
        EXPECT_TRUE(p.writePhase);
        EXPECT_EQ(p.pass, 0);
        EXPECT_EQ(p.passes, 2) << "the read passes are known while writing";
        EXPECT_EQ(p.passBytes, 200000);
        EXPECT_EQ(p.bytesBefore, before);
        before += smallSizes[i];
    }
    EXPECT_FALSE(recorder.seen[4].writePhase);
    EXPECT_EQ(recorder.seen[11].pass, 2);

    recorder.seen.clear();
    panel.repeats = "1";
    bench.performMultiWrite(folder, panel);
    ASSERT_EQ(recorder.seen.size(), 4u);
    EXPECT_EQ(recorder.seen[3].passBytes, 200000);
    EXPECT_EQ(recorder.seen[3].bytesBefore, 200000 - recorder.seen[3].bytes);
    EXPECT_FALSE(recorder.seen[3].writePhase);
}

// Before its first file a write phase says what it writes and what the files of the names it
// writes hold now: only those names (pass and position in range, no leading zero) count.
TEST_F(MultiFileTest, WritePlansCountTheBytesAndTheSpaceOfTheFilesTheyReplace) {
    struct Recorder : ProgressSink {
        std::vector<WritePlan> plans;
        std::map<std::int64_t, std::int64_t> passBytes;
        void fileStarted(const Progress &p) override { passBytes[p.pass] = p.passBytes; }
        void writesPlanned(const WritePlan &plan) override { plans.push_back(plan); }
    } recorder;
    bench.setProgressSink(&recorder);
    const auto held = [&](std::initializer_list<const char *> names) {
        std::int64_t bytes = 0;
        for (const char *name : names)
            bytes += allocatedBytes(calls, folder + "/" + name).value_or(0);
        return bytes;
    };
    for (const char *name : {"1-0.tiff", "2-3.tiff", "3-0.tiff", "1-4.tiff", "01-1.tiff", "0.tiff",
                             "3.tiff", "4.tiff", "x-1.tiff", "1-1.tif"})
        writeFile(folder + "/" + name, 50000);

    panel.repeats = "2";
    std::int64_t replaced = held({"1-0.tiff", "2-3.tiff"});
    bench.performMultiWrite(folder, panel);
    ASSERT_EQ(recorder.plans.size(), 1u);
    EXPECT_EQ(recorder.plans[0].path, folder);
    EXPECT_EQ(recorder.plans[0].bytes, 400000); // two passes of 200000
    EXPECT_EQ(recorder.plans[0].replaced, replaced);
    EXPECT_EQ(recorder.plans[0].pass, 0);

    // Random passes, each told of when its sizes are drawn.
    panel.isRandom = 1;
    panel.length = "3";
    bench.setRandomSizes(RandomSizes(3, 30000));
    const std::int64_t firstPass = held({"1-0.tiff", "1-1.tiff", "1-2.tiff"});
    const std::int64_t secondPass = held({"2-0.tiff", "2-1.tiff", "2-2.tiff"});
    bench.performMultiWrite(folder, panel);
    ASSERT_EQ(recorder.plans.size(), 3u);
    for (std::int64_t pass : {1, 2}) {
        EXPECT_EQ(recorder.plans[pass].pass, pass);
        EXPECT_EQ(recorder.plans[pass].bytes, recorder.passBytes[pass]);
        EXPECT_EQ(recorder.plans[pass].replaced, pass == 1 ? firstPass : secondPass);
    }

    bench.theSizes = smallSizes;
    replaced = held({"0.tiff", "3.tiff"});
    bench.performMixedTest(folder, panel);
    ASSERT_EQ(recorder.plans.size(), 4u);
    EXPECT_EQ(recorder.plans[3].bytes, 200000);
    EXPECT_EQ(recorder.plans[3].replaced, replaced);

    replaced = held({"3.tiff"});
    bench.runWriteTest(folder + "/3.tiff", panel);
    ASSERT_EQ(recorder.plans.size(), 5u);
    EXPECT_EQ(recorder.plans[4].path, folder + "/3.tiff");
    EXPECT_EQ(recorder.plans[4].bytes, 1000);
    EXPECT_EQ(recorder.plans[4].replaced, replaced);
}

TEST_F(MultiFileTest, RepeatsOrLengthBelowOneStillMakeOnePass) {
    panel.repeats = "-3";
    bench.performMultiWrite(folder, panel);
    EXPECT_TRUE(fs::exists(folder + "/1-3.tiff"));
    EXPECT_FALSE(fs::exists(folder + "/2-0.tiff"));
    EXPECT_EQ(bench.theAnalyser->theWrites.size(), 4u);

    panel.repeats = "0";
    bench.performMultiRead(folder, panel);
    EXPECT_EQ(bench.theAnalyser->theReads1.size(), 4u); // the four files, once

    const TempFolder mixedFolder;
    const std::string mixed = mixedFolder.path();
    panel.isRandom = 1;
    panel.length = "0";
    bench.theSizes = {20000, 30000};
    bench.performMixedTest(mixed, panel);
    EXPECT_EQ(bench.theAnalyser->theWrites.size(), 2u);
    EXPECT_EQ(bench.theAnalyser->theReads1.size(), 1u); // one pass of one position
}

// Position 1 is a folder, so its write fails; the reads then find a folder there, which reads as
// 0 bytes and is not recorded.
TEST_F(MultiFileTest, MixedPositionWhoseWriteFailedRecordsNothing) {
    fs::create_directory(folder + "/1.tiff");
    bench.theSizes = {20000, 30000, 40000};
    panel.verbose = 1;
    panel.repeats = "2";
    bench.performMixedTest(folder, panel);
    EXPECT_EQ(bench.theAnalyser->theWrites.size(), 2u);
    EXPECT_EQ(bench.theAnalyser->theSizeSet.count(30000), 0u);
    EXPECT_EQ(count(log.text, "\nw,"), 2u);
    EXPECT_EQ(count(log.text, "\nr,"), 4u);
    EXPECT_EQ(count(log.text, "\nr,30000,"), 0u);
    EXPECT_TRUE(fs::is_directory(folder + "/1.tiff"));
}
