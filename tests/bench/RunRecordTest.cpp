#include "../support/FaultySysCalls.h"
#include "../support/GoldenMatch.h"
#include "../support/RecordingLog.h"
#include "../support/TempFolder.h"

#include "bench/Bench.h"
#include "bench/ResultsExport.h"

#include <gtest/gtest.h>

#include <filesystem>

using namespace quorlan;
using namespace quorlan::testing;
namespace fs = std::filesystem;

namespace {

struct CancelAtFirstFile : ProgressSink {
    CancelToken token;
    void fileStarted(const Progress &) override { token.cancel(); }
};

} // namespace

// Each test's record after each step, against a snapshot: command, path, panel, partial, every
// result with its file and cache mode (FaultySysCalls times every interval as 500 ns); for the
// multi-file tests exactly what the Analyser kept. The dates are the run's, and each recorded
// file has the recorded size.
class RunRecordTest : public ::testing::Test {
protected:
    TempFolder scratch;
    std::string folder = scratch.path();
    RecordingLog log;
    FaultySysCalls calls;
    Bench bench{log, calls, {20000, 40000}};
    PanelSettings panel;
    std::string trace;

    void SetUp() override {
        bench.readTimebase();
        bench.theSizes = bench.theStdSizes;
        bench.setRandomSizes(RandomSizes(3));
    }
    void record() {
        const RunRecord &run = bench.lastRun;
        EXPECT_EQ(run.start, bench.startDate);
        EXPECT_EQ(run.end, bench.endDate);
        EXPECT_TRUE(run.end.has_value());
        trace += run.command + " " + fs::path(run.path).lexically_relative(folder).string() +
                 " size " + run.panel.filesize + " noCache " + std::to_string(run.panel.noCache) +
                 (run.cancelled ? " partial" : "") + "\n";
        for (const RecordedResult &recorded : run.results) {
            const Result &r = recorded.result;
            trace += "  " + std::string(resultTypeName(r.type)) + " " + std::to_string(r.size) +
                     " " + std::to_string(r.time * 1e9) + " ns " + std::to_string(r.rate) + " " +
                     cacheModeName(recorded.cache) + " " +
                     fs::path(recorded.path).lexically_relative(folder).string() + "\n";
            EXPECT_EQ(static_cast<std::int64_t>(fs::file_size(recorded.path)), r.size);
        }
    }
};

TEST_F(RunRecordTest, SingleFileTestsRecordTheirOneMeasurementWithItsCacheMode) {
    panel.filesize = "5";
    const std::string file = folder + "/one.tiff";
    bench.runWriteTest(file, panel);
    record();
    bench.runReadTest(file, panel);
    record();
    panel.noCache = 1;
    calls.refuseDirect = true;
    bench.runReadTest(file, panel);
    record();
    calls.failDropCacheErrno = EIO;
    bench.runReadTest(file, panel);
    record();
    // Without a time nothing is recorded, but every test starts a fresh record.
    bench.runWriteTest(folder + "/missing/x.tiff", panel);
    EXPECT_NE(log.text.find("\nw,5000,-1.0,-5000\n"), std::string::npos); // the log keeps -1.0
    record();
    writeFile(folder + "/empty", 0); // an empty uncached read has no interval
    bench.runReadTest(folder + "/empty", panel);
    record();
    bench.runReadTest(folder + "/none", panel);
    record();
    panel.filesize = "-1"; // refused before anything is written
    bench.runWriteTest(file, panel);
    record();
    EXPECT_TRUE(matchesSnapshot(trace, "run-record-single.txt"));
}

TEST_F(RunRecordTest, MultiFileTestsRecordExactlyWhatTheAnalyserKept) {
    panel.repeats = "2";
    bench.theAnalyser->minSize = 30000; // the Analyser drops the 20000-byte files
    bench.performMultiWrite(folder, panel);
    record();
    // Files at or below the minimum read size are read but never recorded.
    bench.theAnalyser->minSize = 0;
    writeFile(folder + "/small", Bench::theMinReadSize);
    panel.noCache = 1;
    panel.repeats = "1";
    calls.refuseDirect = true;
    bench.performMultiRead(folder, panel);
    record();
    panel.noCache = 0; // the writes, then the reads
    bench.performMixedTest(folder, panel);
    record();
    bench.theAnalyser.reset(); // without an Analyser the test's own filters decide
    bench.performMultiWrite(folder, panel);
    record();
    EXPECT_TRUE(matchesSnapshot(trace, "run-record-multi.txt"));
}

TEST_F(RunRecordTest, FailedFilesAreLeftOutAndACancelledRunIsPartial) {
    panel.repeats = "2";
    // The second file of the first pass cannot be created: a folder stands in its place.
    fs::create_directory(folder + "/1-1.tiff");
    bench.performMultiWrite(folder, panel);
    record();
    CancelAtFirstFile stopper;
    bench.setCancelToken(&stopper.token);
    bench.setProgressSink(&stopper);
    bench.performMultiWrite(folder, panel);
    record();
    EXPECT_TRUE(matchesSnapshot(trace, "run-record-failed.txt"));
}
