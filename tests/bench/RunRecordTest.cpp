#include "../support/FaultySysCalls.h"
#include "../support/RecordingLog.h"
#include "../support/TempFolder.h"

#include "bench/Bench.h"

#include <gtest/gtest.h>

#include <filesystem>

using namespace quorlan;
using namespace quorlan::testing;
namespace fs = std::filesystem;

namespace {

// Every interval of FaultySysCalls is 500 ticks of 1 ns.
constexpr double scriptedTime = 500 * 1e-9;

std::vector<Result> resultsOf(const RunRecord &run) {
    std::vector<Result> results;
    for (const RecordedResult &recorded : run.results)
        results.push_back(recorded.result);
    return results;
}

void expectSame(const std::vector<Result> &actual, const std::vector<Result> &expected) {
    ASSERT_EQ(actual.size(), expected.size());
    for (std::size_t i = 0; i < actual.size(); ++i) {
        EXPECT_EQ(actual[i].type, expected[i].type) << i;
        EXPECT_EQ(actual[i].size, expected[i].size) << i;
        EXPECT_EQ(actual[i].time, expected[i].time) << i;
        EXPECT_EQ(actual[i].rate, expected[i].rate) << i;
    }
}

// Each recorded path names a file of the recorded size.
void expectPathsMatchSizes(const RunRecord &run) {
    for (const RecordedResult &recorded : run.results)
        EXPECT_EQ(static_cast<std::int64_t>(fs::file_size(recorded.path)), recorded.result.size)
            << recorded.path;
}

} // namespace

class RunRecordTest : public ::testing::Test {
protected:
    TempFolder scratch;
    std::string folder = scratch.path();
    RecordingLog log;
    FaultySysCalls calls;
    Bench bench{log, calls, {20000, 40000}};
    PanelSettings panel;

    void SetUp() override {
        bench.readTimebase();
        bench.theSizes = bench.theStdSizes;
        bench.setRandomSizes(RandomSizes(3));
    }
};

TEST_F(RunRecordTest, SingleFileTestsRecordTheirOneMeasurementWithItsCacheMode) {
    panel.filesize = "5";
    const std::string file = folder + "/one.tiff";
    bench.runWriteTest(file, panel);
    EXPECT_EQ(bench.lastRun.command, "write");
    EXPECT_EQ(bench.lastRun.path, file);
    EXPECT_EQ(bench.lastRun.panel.filesize, "5");
    EXPECT_EQ(bench.lastRun.start, bench.startDate);
    EXPECT_EQ(bench.lastRun.end, bench.endDate);
    EXPECT_TRUE(bench.lastRun.end.has_value());
    EXPECT_FALSE(bench.lastRun.cancelled);
    expectSame(resultsOf(bench.lastRun),
               {{ResultKind::Write, 5000, scriptedTime, 5000 / scriptedTime}});
    EXPECT_EQ(bench.lastRun.results[0].path, file);
    EXPECT_EQ(bench.lastRun.results[0].cache, CacheMode::None);

    struct Case {
        bool noCache;
        bool refuseDirect;
        int dropErrno;
        ResultKind type;
        CacheMode cache;
    };
    for (const Case &c :
         {Case{false, false, 0, ResultKind::Read, CacheMode::Cached},
          Case{true, true, 0, ResultKind::UncachedRead, CacheMode::PagesDropped},
          Case{true, true, EIO, ResultKind::UncachedRead, CacheMode::NotBypassed}}) {
        panel.noCache = c.noCache ? 1 : 0;
        calls.refuseDirect = c.refuseDirect;
        calls.failDropCacheErrno = c.dropErrno;
        bench.runReadTest(file, panel);
        EXPECT_EQ(bench.lastRun.command, "read");
        expectSame(resultsOf(bench.lastRun), {{c.type, 5000, scriptedTime, 5000 / scriptedTime}});
        EXPECT_EQ(bench.lastRun.results[0].cache, c.cache) << resultTypeCode(c.type) << c.dropErrno;
        EXPECT_EQ(bench.lastRun.panel.noCache, panel.noCache);
    }
}

TEST_F(RunRecordTest, SingleFileTestsWithoutATimeRecordNothingButStartAFreshRecord) {
    const std::string missing = folder + "/missing/x.tiff";
    bench.runWriteTest(missing, panel); // fails: its log line keeps -1.0, the record stays empty
    EXPECT_NE(log.text.find("\nw,1000,-1.0,-1000\n"), std::string::npos);
    EXPECT_EQ(bench.lastRun.command, "write");
    EXPECT_EQ(bench.lastRun.path, missing);
    EXPECT_TRUE(bench.lastRun.results.empty());
    EXPECT_TRUE(bench.lastRun.end.has_value());

    bench.performMultiWrite(folder, panel);
    ASSERT_EQ(bench.lastRun.results.size(), 2u);
    panel.filesize = "-1"; // refused before anything is written
    bench.runWriteTest(folder + "/refused.tiff", panel);
    EXPECT_TRUE(bench.lastRun.results.empty());

    writeFile(folder + "/empty", 0);
    panel.noCache = 1; // an empty uncached read has no interval
    bench.runReadTest(folder + "/empty", panel);
    EXPECT_TRUE(bench.lastRun.results.empty());
    bench.runReadTest(folder + "/none", panel);
    EXPECT_EQ(bench.lastRun.path, folder + "/none");
    EXPECT_TRUE(bench.lastRun.results.empty());
}

TEST_F(RunRecordTest, MultiFileTestsRecordExactlyWhatTheAnalyserKept) {
    panel.repeats = "2";
    bench.theAnalyser->minSize = 30000; // the Analyser drops the 20000-byte files
    bench.performMultiWrite(folder, panel);
    EXPECT_EQ(bench.lastRun.command, "multi-write");
    EXPECT_EQ(bench.lastRun.path, folder);
    EXPECT_EQ(bench.lastRun.start, bench.startDate);
    EXPECT_EQ(bench.lastRun.end, bench.endDate);
    expectSame(resultsOf(bench.lastRun), bench.theAnalyser->theWrites);
    EXPECT_EQ(bench.lastRun.results.size(), 2u);
    expectPathsMatchSizes(bench.lastRun);

    // Reads: files at or below the minimum read size are read but never recorded.
    bench.theAnalyser->minSize = 0;
    writeFile(folder + "/small", Bench::theMinReadSize);
    panel.noCache = 1;
    panel.repeats = "1";
    calls.refuseDirect = true;
    bench.performMultiRead(folder, panel);
    EXPECT_EQ(bench.lastRun.command, "multi-read");
    expectSame(resultsOf(bench.lastRun), bench.theAnalyser->theReads2);
    EXPECT_EQ(bench.lastRun.results.size(), 4u); // the four written files
    expectPathsMatchSizes(bench.lastRun);
    for (const RecordedResult &recorded : bench.lastRun.results)
        EXPECT_EQ(recorded.cache, CacheMode::PagesDropped);

    // Mixed: the writes, then the reads, in measurement order.
    panel.noCache = 0;
    bench.performMixedTest(folder, panel);
    EXPECT_EQ(bench.lastRun.command, "mixed");
    ASSERT_EQ(bench.lastRun.results.size(), 4u);
    std::vector<Result> expected = bench.theAnalyser->theWrites;
    expected.insert(expected.end(), bench.theAnalyser->theReads1.begin(),
                    bench.theAnalyser->theReads1.end());
    expectSame(resultsOf(bench.lastRun), expected);
    EXPECT_EQ(bench.lastRun.results[1].cache, CacheMode::None);
    EXPECT_EQ(bench.lastRun.results[2].cache, CacheMode::Cached);
    expectPathsMatchSizes(bench.lastRun);

    // Without an Analyser the test's own filters decide.
    bench.theAnalyser.reset();
    bench.performMultiWrite(folder, panel);
    EXPECT_EQ(bench.lastRun.results.size(), 2u);
}
