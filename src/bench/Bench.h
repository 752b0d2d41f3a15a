#pragma once

#include "bench/PanelSettings.h"
#include "bench/Timebase.h"
#include "log/LogLines.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace quorlan {

class LogSink;
class SysCalls;

// The sixteen standard file sizes in bytes, in their stored order.
std::vector<std::int64_t> standardSizes();

// The window controller's data model and the tests. Every test appends its whole output to the
// log sink; the panel settings are the values the panel held when the test started.
class Bench {
public:
    explicit Bench(LogSink& log, SysCalls& calls, std::vector<std::int64_t> stdSizes = standardSizes());

    static constexpr std::int64_t theMinReadSize = 9999;

    Timebase timebase; // theNumerator / theDenominator, 0/0 until readTimebase
    std::optional<Date> startDate;
    std::optional<Date> endDate;
    std::string macType;
    std::string macOSVersion;
    std::string quorlanVersion;
    std::vector<std::int64_t> theSizes;
    const std::vector<std::int64_t> theStdSizes;

    void readTimebase();

    // Writes one file of the panel's size and fill byte at path and logs it.
    void runWriteTest(const std::string& path, const PanelSettings& panel);
    // Reads the file at path, through the cache or bypassing it, and logs it.
    void runReadTest(const std::string& path, const PanelSettings& panel);

private:
    void writeSingleFile(const std::string& path, const PanelSettings& panel);
    void finishRun(const std::string& path);

    LogSink& log_;
    SysCalls& calls_;
};

} // namespace quorlan
