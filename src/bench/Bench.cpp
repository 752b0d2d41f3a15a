#include "bench/Bench.h"

#include "bench/FolderWalk.h"
#include "bench/Saturating.h"
#include "bench/SysCalls.h"
#include "bench/TestBuffer.h"
#include "bench/TestFiles.h"
#include "bench/TimedIo.h"
#include "bench/VolumeInfo.h"
#include "log/LogSink.h"

#include <algorithm>
#include <cerrno>
#include <chrono>

namespace quorlan {

namespace {

std::string noMemoryLine(std::int64_t size) {
    return "Cannot write a file of " + std::to_string(size) +
           " bytes: there is not enough memory for its buffer.\n";
}

// A measurement with its rate in bytes per second; time must be positive.
Result measured(ResultKind kind, std::int64_t size, double time) {
    return Result{kind, size, time, static_cast<double>(size) / time};
}

// The kind of a read through the cache, or bypassing it.
ResultKind readKind(bool noCache) {
    return noCache ? ResultKind::UncachedRead : ResultKind::Read;
}

// The bytes a list of sizes writes, for progress and plans; negative sizes count as nothing.
std::int64_t sumOfSizes(const std::vector<std::int64_t> &sizes) {
    std::int64_t sum = 0;
    for (std::int64_t size : sizes)
        sum = saturatingAdd(sum, std::max<std::int64_t>(size, 0));
    return sum;
}

} // namespace

std::vector<std::int64_t> standardSizes() {
    return {2000000,   4000000,   6000000,    8000000,   10000000,  20000000,
            40000000,  60000000,  80000000,   100000000, 200000000, 400000000,
            600000000, 800000000, 1000000000, 2000000000};
}

Bench::Bench(LogSink &log, SysCalls &calls, std::vector<std::int64_t> stdSizes)
    : theStdSizes(std::move(stdSizes)), log_(log), calls_(calls) {}

void Bench::readTimebase() {
    timebase.readTimebase(calls_);
}

void Bench::beginRecord(const char *command, const std::string &path, const PanelSettings &panel) {
    lastRun = RunRecord();
    lastRun.command = command;
    lastRun.path = path;
    lastRun.panel = panel;
    lastRun.start = startDate;
}

void Bench::recordMultiResult(const Result &result, const std::string &path, CacheMode cache) {
    if (theAnalyser) {
        // The Analyser may drop a result (minSize); only what it kept belongs to the run.
        if (!theAnalyser->keeps(result.size))
            return;
        theAnalyser->addResult(result.type, result.size, result.time, result.rate);
    }
    lastRun.results.push_back(RecordedResult{result, path, cache});
}

void Bench::countOperation(double time, std::int64_t size) {
    // Read before anything else can touch it: the primitive's failing call left it.
    const int error = time < 0 ? errno : 0;
    if (time < 0 || (time == 0.0 && size > 0))
        countFailure(error);
    else if (size > 0)
        ++lastRun.operations;
}

void Bench::countFailure(int error) {
    if (lastRun.failedOperations++ == 0)
        lastRun.firstFailureErrno = error;
    ++lastRun.operations;
}

void Bench::planWrites(const std::string &folder, std::int64_t bytes, std::int64_t firstPass,
                       std::int64_t lastPass, std::size_t files, std::int64_t pass) {
    if (progress_)
        progress_->writesPlanned({folder, bytes,
                                  allocatedToTestFiles(calls_, folder, firstPass, lastPass, files),
                                  pass});
}

void Bench::finishRun(const std::string &path) {
    reads_.releaseReadBuffer();
    endDate = std::chrono::system_clock::now();
    lastRun.end = endDate;
    log_.appendToLog(testPathLine(path));
    appendRunFooter(log_, RunFooter{macType, macOSVersion, quorlanVersion, startDate, endDate});
}

void Bench::runWriteTest(const std::string &path, const PanelSettings &panel) {
    log_.appendToLog(columnHeaderLine());
    startDate = std::chrono::system_clock::now();
    beginRecord("write", path, panel);
    writeSingleFile(path, panel);
    finishRun(path);
}

void Bench::writeSingleFile(const std::string &path, const PanelSettings &panel) {
    const std::optional<std::int64_t> size = readFileSize(panel);
    if (!size) {
        log_.appendToLog("Cannot write a file of size " + fileSizeText(panel) +
                         ": the size must be a whole number of bytes from 0 to "
                         "9223372036854775807.\n");
        return;
    }
    if (progress_)
        progress_->writesPlanned({path, *size, allocatedBytes(calls_, path).value_or(0), 0});
    double time = 0.0;
    {
        const TestBuffer buffer = makeTestData(*size, readFillByte(panel));
        if (!buffer.valid()) {
            countFailure(ENOMEM);
            log_.appendToLog(noMemoryLine(*size));
            return;
        }
        time = TimedIo(calls_, timebase).timedTestWrite(path, buffer.bytes());
    }
    countOperation(time, *size);
    // A failed write (failedTime) still has its log line, as it always had, but it is no
    // measurement and stays out of the record.
    if (time > 0)
        lastRun.results.push_back(
            RecordedResult{measured(ResultKind::Write, *size, time), path, CacheMode::None});
    if (time != 0.0)
        log_.appendToLog(measurementLine(measurementLineKind(ResultKind::Write), *size, time));
}

void Bench::runReadTest(const std::string &path, const PanelSettings &panel) {
    log_.appendToLog(columnHeaderLine());
    startDate = std::chrono::system_clock::now();
    beginRecord("read", path, panel);
    const bool bypass = isChecked(panel.noCache);
    struct stat info {};
    if (retryInterrupted([&] { return calls_.stat(path.c_str(), &info); }) == 0) {
        // Only regular files have a size; anything else reads as 0 bytes.
        const std::int64_t size = S_ISREG(info.st_mode) ? info.st_size : 0;
        const double time =
            bypass ? reads_.timedUncachedRead(path) : reads_.timedRead(path, 0, size);
        countOperation(time, size);
        if (time > 0)
            lastRun.results.push_back(RecordedResult{measured(readKind(bypass), size, time), path,
                                                     reads_.lastCacheMode()});
        if (time != 0.0)
            log_.appendToLog(measurementLine(measurementLineKind(readKind(bypass)), size, time));
    }
    finishRun(path);
}

void Bench::report(const Progress &progress) {
    if (progress_)
        progress_->fileStarted(progress);
}

std::string Bench::writeResultText() const {
    return theAnalyser ? theAnalyser->theWriteResult : noResultText;
}

std::string Bench::readResultText() const {
    return theAnalyser ? theAnalyser->theReadResult : noResultText;
}

void Bench::beginMultiRun(const char *command, const std::string &folder,
                          const PanelSettings &panel) {
    if (theAnalyser)
        theAnalyser->reset();
    if (isChecked(panel.verbose))
        log_.appendToLog(columnHeaderLine());
    startDate = std::chrono::system_clock::now();
    beginRecord(command, folder, panel);
}

void Bench::finishMultiRun(const std::string &folder, bool wasCancelled) {
    runData_.release();
    reads_.releaseReadBuffer();
    endDate = std::chrono::system_clock::now();
    lastRun.end = endDate;
    lastRun.cancelled = wasCancelled;
    if (wasCancelled)
        log_.appendToLog("Test cancelled.\n");
    if (theAnalyser)
        log_.appendToLog(theAnalyser->buildReport());
    log_.appendToLog(testPathLine(folder));
    appendRunFooter(log_, RunFooter{macType, macOSVersion, quorlanVersion, startDate, endDate});
}

void Bench::chooseSizesForPass(const PanelSettings &panel) {
    if (isChecked(panel.isRandom)) {
        theSizes.clear();
        const std::int64_t count = std::min(atLeastOne(readLength(panel)), maxRandomSizesPerPass);
        theSizes.reserve(static_cast<std::size_t>(count));
        for (std::int64_t i = 0; i < count; ++i)
            theSizes.push_back(random_.randomSize());
    } else {
        std::vector<std::int64_t> sizes = theStdSizes;
        random_.shuffleSizes(sizes);
        theSizes = std::move(sizes);
    }
}

void Bench::noteCappedLength(const PanelSettings &panel) {
    const std::int64_t length = readLength(panel);
    if (isChecked(panel.isRandom) && length > maxRandomSizesPerPass)
        log_.appendToLog("The length " + std::to_string(length) +
                         " is more random sizes than a pass can hold; each pass takes " +
                         std::to_string(maxRandomSizesPerPass) + ".\n");
}

void Bench::prepareTestData(const std::vector<std::int64_t> &sizes, const PanelSettings &panel) {
    if (!sizes.empty())
        runData_.bytes(*std::max_element(sizes.begin(), sizes.end()), readFillByte(panel));
}

void Bench::writeTestFile(const std::string &path, std::int64_t size, bool verbose,
                          const PanelSettings &panel) {
    const auto data = runData_.bytes(size, readFillByte(panel));
    if (!data) {
        countFailure(ENOMEM);
        log_.appendToLog(noMemoryLine(size));
        return;
    }
    const double time =
        TimedIo(calls_, timebase, TimedIo::LinkAtPath::Refuse).timedTestWrite(path, *data);
    countOperation(time, size);
    if (time > 0 && size > 0)
        recordMultiResult(measured(ResultKind::Write, size, time), path, CacheMode::None);
    if (size > 0 && verbose && time > 0)
        log_.appendToLog(measurementLine(measurementLineKind(ResultKind::Write), size, time));
}

void Bench::readFolderEntry(const std::string &path, bool noCache, bool verbose) {
    struct stat info {};
    if (retryInterrupted([&] { return calls_.lstat(path.c_str(), &info); }) != 0)
        return; // vanished or unreadable: skipped silently
    // Symbolic links are never read; nor are pipes, sockets and devices, which could block or
    // never end. Folders are read (as 0 bytes) like every other entry, and go no further.
    if (!S_ISREG(info.st_mode) && !S_ISDIR(info.st_mode))
        return;
    readAndRecord(path, S_ISREG(info.st_mode) ? info.st_size : 0, noCache, verbose);
}

void Bench::readNumberedFile(const std::string &path, bool noCache, bool verbose) {
    struct stat info {};
    if (retryInterrupted([&] { return calls_.stat(path.c_str(), &info); }) != 0)
        return; // no such file: the position is skipped
    readAndRecord(path, S_ISREG(info.st_mode) ? info.st_size : 0, noCache, verbose);
}

void Bench::readAndRecord(const std::string &path, std::int64_t size, bool noCache, bool verbose) {
    const double time = noCache ? reads_.timedUncachedRead(path) : reads_.timedRead(path, 0, size);
    countOperation(time, size);
    if (time > 0 && size > theMinReadSize)
        recordMultiResult(measured(readKind(noCache), size, time), path, reads_.lastCacheMode());
    if (verbose && size > theMinReadSize && time > 0)
        log_.appendToLog(measurementLine(measurementLineKind(readKind(noCache)), size, time));
}

void Bench::performMultiWrite(const std::string &folder, const PanelSettings &panel) {
    const bool verbose = isChecked(panel.verbose);
    beginMultiRun("multi-write", folder, panel);
    noteCappedLength(panel);
    const std::int64_t passes = atLeastOne(readRepeats(panel));
    bool stopped = false;
    for (std::int64_t pass = 1; pass <= passes && !stopped; ++pass) {
        chooseSizesForPass(panel);
        prepareTestData(theSizes, panel);
        const std::int64_t passBytes = sumOfSizes(theSizes);
        if (isChecked(panel.isRandom))
            planWrites(folder, passBytes, pass, pass, theSizes.size(), pass);
        else if (pass == 1)
            planWrites(folder, saturatingMultiply(passBytes, passes), 1, passes, theSizes.size(),
                       0);
        std::int64_t bytesBefore = 0;
        for (std::size_t i = 0; i < theSizes.size(); ++i) {
            if ((stopped = cancelled()))
                break;
            const std::string path = inFolder(folder, testFileName(pass, i));
            report({pass, passes, static_cast<std::int64_t>(i) + 1,
                    static_cast<std::int64_t>(theSizes.size()), path, theSizes[i], passBytes,
                    bytesBefore, false});
            writeTestFile(path, theSizes[i], verbose, panel);
            bytesBefore = saturatingAdd(bytesBefore, std::max<std::int64_t>(theSizes[i], 0));
        }
    }
    finishMultiRun(folder, stopped);
}

void Bench::performMultiRead(const std::string &folder, const PanelSettings &panel) {
    const bool noCache = isChecked(panel.noCache);
    const bool verbose = isChecked(panel.verbose);
    beginMultiRun("multi-read", folder, panel);
    const std::int64_t passes = atLeastOne(readRepeats(panel));
    bool stopped = false;
    for (std::int64_t pass = 1; pass <= passes && !stopped; ++pass) {
        std::int64_t file = 0;
        walkFolder(calls_, folder, [&](const std::string &relative) {
            if ((stopped = cancelled()))
                return false;
            const std::string path = inFolder(folder, relative);
            report({pass, passes, ++file, 0, path, 0});
            readFolderEntry(path, noCache, verbose);
            return true;
        });
    }
    finishMultiRun(folder, stopped);
}

void Bench::performMixedTest(const std::string &folder, const PanelSettings &panel) {
    performMixedTestReadingFrom(folder, folder, panel);
}

void Bench::performMixedTestReadingFrom(const std::string &folder, const std::string &readFolder,
                                        const PanelSettings &panel) {
    const bool noCache = isChecked(panel.noCache);
    const bool verbose = isChecked(panel.verbose);
    beginMultiRun("mixed", folder, panel);
    noteCappedLength(panel);
    bool stopped = false;
    const std::vector<std::int64_t> written = theSizes;
    const std::int64_t readPasses = atLeastOne(readRepeats(panel));
    prepareTestData(written, panel);
    const std::int64_t writeBytes = sumOfSizes(written);
    planWrites(folder, writeBytes, 0, 0, written.size(), 0);
    std::int64_t bytesBefore = 0;
    for (std::size_t i = 0; i < written.size() && !stopped; ++i) {
        if ((stopped = cancelled()))
            break;
        const std::string path = inFolder(folder, testFileName(0, i));
        report({0, readPasses, static_cast<std::int64_t>(i) + 1,
                static_cast<std::int64_t>(written.size()), path, written[i], writeBytes,
                bytesBefore, true});
        writeTestFile(path, written[i], verbose, panel);
        bytesBefore = saturatingAdd(bytesBefore, std::max<std::int64_t>(written[i], 0));
    }
    runData_.release(); // the reads need their own memory: never both at once
    const std::int64_t passes = stopped ? 0 : readPasses;
    for (std::int64_t pass = 1; pass <= passes && !stopped; ++pass) {
        chooseSizesForPass(panel);
        const std::size_t count = theSizes.size();
        for (std::size_t i = 0; i < count; ++i) {
            if ((stopped = cancelled()))
                break;
            const std::string path = inFolder(readFolder, testFileName(0, i));
            report({pass, passes, static_cast<std::int64_t>(i) + 1,
                    static_cast<std::int64_t>(count), path, 0});
            readNumberedFile(path, noCache, verbose);
        }
    }
    finishMultiRun(folder, stopped);
}

} // namespace quorlan
