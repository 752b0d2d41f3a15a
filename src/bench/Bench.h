#pragma once

#include "analysis/Analyser.h"
#include "bench/CancelToken.h"
#include "bench/PanelSettings.h"
#include "bench/RandomSizes.h"
#include "bench/RunRecord.h"
#include "bench/TestData.h"
#include "bench/Timebase.h"
#include "bench/TimedIo.h"
#include "log/LogLines.h"

#include "bench/ProgressSink.h"

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace quorlan {

class LogSink;
class ProgressSink;
class SysCalls;

// The result fields' text when there is no Analyser.
inline constexpr const char *noResultText = "0.00 MB/s";

// The sixteen standard file sizes in bytes, in their stored order.
std::vector<std::int64_t> standardSizes();

// The window controller's data model and the tests. Every test appends its whole output to the
// log sink; the panel settings are the values the panel held when the test started.
class Bench {
public:
    explicit Bench(LogSink &log, SysCalls &calls,
                   std::vector<std::int64_t> stdSizes = standardSizes());

    // Optional observers for a front end; neither is owned.
    void setProgressSink(ProgressSink *sink) { progress_ = sink; }
    void setCancelToken(const CancelToken *token) { cancel_ = token; }
    void setRandomSizes(RandomSizes random) { random_ = std::move(random); }

    static constexpr std::int64_t theMinReadSize = 9999;
    // The most random sizes one pass draws; a larger length is cut to this, with a log line, so
    // a typed length like 1e12 cannot exhaust memory before the first file is written.
    static constexpr std::int64_t maxRandomSizesPerPass = 1000000;

    std::optional<Analyser> theAnalyser{std::in_place};
    Timebase timebase; // theNumerator / theDenominator, 0/0 until readTimebase
    std::optional<Date> startDate;
    std::optional<Date> endDate;
    std::string macType;
    std::string macOSVersion;
    std::string quorlanVersion;
    std::vector<std::int64_t> theSizes;
    const std::vector<std::int64_t> theStdSizes;
    // What the last test measured, for export: started afresh by every test, complete when the
    // test returns. Multi-file tests record exactly the results theAnalyser kept (all results
    // that pass the test's own filters when there is no Analyser).
    RunRecord lastRun;

    void readTimebase();

    // Writes one file of the panel's size and fill byte at path and logs it.
    void runWriteTest(const std::string &path, const PanelSettings &panel);
    // Reads the file at path, through the cache or bypassing it, and logs it.
    void runReadTest(const std::string &path, const PanelSettings &panel);

    // The multi-file tests, on a folder that a panel has confirmed.
    void performMultiWrite(const std::string &folder, const PanelSettings &panel);
    void performMultiRead(const std::string &folder, const PanelSettings &panel);
    void performMixedTest(const std::string &folder, const PanelSettings &panel);
    // The mixed test whose reads take the numbered files of readFolder instead of those it
    // wrote into folder (another client's, so that no client reads what its own cache holds).
    // The log's path line names folder.
    void performMixedTestReadingFrom(const std::string &folder, const std::string &readFolder,
                                     const PanelSettings &panel);

    // Writes one file of size bytes with the panel's fill byte, records it (theAnalyser and
    // lastRun) and, when verbose, logs its line. Failed writes and size 0 leave no trace.
    void writeTestFile(const std::string &path, std::int64_t size, bool verbose,
                       const PanelSettings &panel);

    // The texts for the window's result fields after a multi-file test.
    std::string writeResultText() const;
    std::string readResultText() const;

private:
    void writeSingleFile(const std::string &path, const PanelSettings &panel);
    void finishRun(const std::string &path);
    // Starts lastRun for a test; startDate must already be set.
    void beginRecord(const char *command, const std::string &path, const PanelSettings &panel);
    // Adds a measurement of a multi-file test to theAnalyser and, when the Analyser kept it, to
    // lastRun.
    void recordMultiResult(const Result &result, const std::string &path, CacheMode cache);
    void beginMultiRun(const char *command, const std::string &folder, const PanelSettings &panel);
    void finishMultiRun(const std::string &folder, bool cancelled);
    void chooseSizesForPass(const PanelSettings &panel);
    // Logs that the length will be cut to maxRandomSizesPerPass, when random sizes are ticked
    // and the length is above it.
    void noteCappedLength(const PanelSettings &panel);
    // Fills the run's test data once for the largest of sizes, before any file of the pass is
    // timed; a failure here only means each file asks for its own buffer.
    void prepareTestData(const std::vector<std::int64_t> &sizes, const PanelSettings &panel);
    // One entry of a folder walk: symbolic links and special files are skipped.
    void readFolderEntry(const std::string &path, bool noCache, bool verbose);
    // One numbered file of the mixed test: a missing file is skipped.
    void readNumberedFile(const std::string &path, bool noCache, bool verbose);
    // Times the read of size bytes; records and logs it when it qualifies.
    void readAndRecord(const std::string &path, std::int64_t size, bool noCache, bool verbose);
    bool cancelled() const { return cancel_ && cancel_->cancelled(); }
    // Counts the timed operation that just returned time in lastRun.operations when it had size
    // bytes to move or failed, and in lastRun.failedOperations (with errno, for a failure time)
    // when it gave no measurement though it had bytes to move. Call it right after the primitive.
    void countOperation(double time, std::int64_t size);
    // Counts one failed operation whose cause is the error number given (0: not known).
    void countFailure(int error);
    // Tells the progress sink what a write phase is about to write into folder: bytes in all, in
    // files 0 to files-1 of passes firstPass to lastPass (0 to 0 for the mixed test's names),
    // for the random pass given (0: the whole test).
    void planWrites(const std::string &folder, std::int64_t bytes, std::int64_t firstPass,
                    std::int64_t lastPass, std::size_t files, std::int64_t pass);
    void report(const Progress &progress);

    ProgressSink *progress_ = nullptr;
    const CancelToken *cancel_ = nullptr;
    RandomSizes random_;
    TestData runData_;

    LogSink &log_;
    SysCalls &calls_;
    // Every read of a test goes through this one, so its buffer is made once for the run's
    // largest file; freed when the test ends.
    TimedIo reads_{calls_, timebase};
};

} // namespace quorlan
