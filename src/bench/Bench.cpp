#include "bench/Bench.h"

#include "bench/SysCalls.h"
#include "bench/TestBuffer.h"
#include "bench/TimedIo.h"
#include "log/LogSink.h"

#include <chrono>

namespace quorlan {

std::vector<std::int64_t> standardSizes() {
    return {2000000,   4000000,   6000000,   8000000,   10000000,   20000000,
            40000000,  60000000,  80000000,  100000000, 200000000,  400000000,
            600000000, 800000000, 1000000000, 2000000000};
}

Bench::Bench(LogSink& log, SysCalls& calls, std::vector<std::int64_t> stdSizes)
    : theStdSizes(std::move(stdSizes)), log_(log), calls_(calls) {}

void Bench::readTimebase() { timebase.readTimebase(calls_); }

void Bench::finishRun(const std::string& path) {
    endDate = std::chrono::system_clock::now();
    log_.appendToLog(testPathLine(path));
    appendRunFooter(log_, RunFooter{macType, macOSVersion, quorlanVersion, startDate, endDate});
}

void Bench::runWriteTest(const std::string& path, const PanelSettings& panel) {
    log_.appendToLog(columnHeaderLine());
    startDate = std::chrono::system_clock::now();
    writeSingleFile(path, panel);
    finishRun(path);
}

void Bench::writeSingleFile(const std::string& path, const PanelSettings& panel) {
    const std::optional<std::int64_t> size = readFileSize(panel);
    if (!size) {
        log_.appendToLog("Cannot write a file of size " + fileSizeText(panel) +
                         ": the size must be a whole number of bytes from 0 to "
                         "9223372036854775807.\n");
        return;
    }
    double time = 0.0;
    {
        const TestBuffer buffer = makeTestData(*size, readFillByte(panel));
        if (!buffer.valid()) {
            log_.appendToLog("Cannot write a file of " + std::to_string(*size) +
                             " bytes: there is not enough memory for its buffer.\n");
            return;
        }
        time = TimedIo(calls_, timebase).timedTestWrite(path, buffer.bytes());
    }
    if (time != 0.0)
        log_.appendToLog(measurementLine("w", *size, time));
}

void Bench::runReadTest(const std::string& path, const PanelSettings& panel) {
    log_.appendToLog(columnHeaderLine());
    startDate = std::chrono::system_clock::now();
    const bool bypass = isChecked(panel.noCache);
    struct stat info {};
    if (calls_.stat(path.c_str(), &info) == 0) {
        // Only regular files have a size; anything else reads as 0 bytes.
        const std::int64_t size = S_ISREG(info.st_mode) ? info.st_size : 0;
        TimedIo io(calls_, timebase);
        const double time = bypass ? io.timedUncachedRead(path) : io.timedRead(path, 0, size);
        if (time != 0.0)
            log_.appendToLog(measurementLine(bypass ? "r*" : "r", size, time));
    }
    finishRun(path);
}

} // namespace quorlan
