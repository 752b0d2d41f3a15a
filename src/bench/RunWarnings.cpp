#include "bench/RunWarnings.h"

#include "analysis/Statistics.h"
#include "bench/Saturating.h"
#include "bench/VolumeInfo.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <limits>
#include <map>

namespace quorlan {

namespace {

// Bytes: the smallest written file whose blocks are checked.
constexpr std::int64_t smallestCheckedWrite = 1000000;
// An uncached read whose rate is more than this many times its file's write rate is suspect.
constexpr double cacheSuspectRatio = 10.0;
// Bytes: a run needs one file at least this large to mean something.
constexpr std::int64_t meaningfulSize = 10000000;

// "1 uncached read" / "2 uncached reads".
std::string counted(std::size_t count, const std::string &noun) {
    std::string text = std::to_string(count);
    text.append(" ").append(noun);
    if (count != 1)
        text.append("s");
    return text;
}

// A ratio with one decimal, C locale whatever the process locale.
std::string ratioText(double ratio) {
    std::array<char, 400> buffer{};
    const auto made = std::to_chars(buffer.data(), buffer.data() + buffer.size(), ratio,
                                    std::chars_format::fixed, 1);
    if (made.ec != std::errc())
        return "many";
    return std::string(buffer.data(), made.ptr);
}

void addFileSystemWarnings(const RunRecord &run, SysCalls &calls, std::vector<std::string> &out) {
    const FileSystemInfo fs = fileSystemOf(calls, run.path);
    if (fs.kind == FileSystemKind::RamBacked) {
        std::string text("The test path is on ");
        text.append(fs.type).append(
            ", a file system held in memory: read and write rates measure memory, not a disk.");
        out.push_back(std::move(text));
    }
    if (fs.kind == FileSystemKind::Network) {
        std::string text("The test path is on ");
        text.append(fs.type).append(
            ", a network file system: the rates include the network and the server.");
        out.push_back(std::move(text));
    }
}

void addNotBypassedWarning(const RunRecord &run, std::vector<std::string> &out) {
    std::size_t count = 0;
    for (const RecordedResult &recorded : run.results)
        if (recorded.cache == CacheMode::NotBypassed)
            ++count;
    if (count == 0)
        return;
    std::string text = counted(count, "uncached read");
    text.append(count == 1 ? " could not bypass the cache: its rate includes the cache."
                           : " could not bypass the cache: their rates include the cache.");
    out.push_back(std::move(text));
}

void addAllocationWarning(const RunRecord &run, SysCalls &calls, std::vector<std::string> &out) {
    std::map<std::string, std::int64_t> lastWriteSize;
    for (const RecordedResult &recorded : run.results)
        if (recorded.result.type == ResultKind::Write)
            lastWriteSize[recorded.path] = recorded.result.size;
    std::size_t count = 0;
    std::int64_t allocatedTotal = 0, sizeTotal = 0;
    for (const auto &[path, size] : lastWriteSize) {
        if (size < smallestCheckedWrite)
            continue;
        const std::optional<std::int64_t> allocated = allocatedBytes(calls, path);
        if (!allocated || *allocated >= size - *allocated)
            continue;
        ++count;
        allocatedTotal = saturatingAdd(allocatedTotal, *allocated);
        sizeTotal = saturatingAdd(sizeTotal, size);
    }
    if (count == 0)
        return;
    char fill[8];
    std::snprintf(fill, sizeof fill, "0x%02X", static_cast<unsigned>(readFillByte(run.panel)));
    std::string text = counted(count, "written file");
    text.append(count == 1 ? " occupies less than half its size"
                           : " occupy less than half their size")
        .append(" on the volume (")
        .append(formatByteCount(allocatedTotal))
        .append(" for ")
        .append(formatByteCount(sizeTotal))
        .append(count == 1 ? "): the file system compresses or deduplicates it"
                           : "): the file system compresses or deduplicates them")
        .append(", and the fill byte ")
        .append(fill)
        .append(" compresses to almost nothing, so the rates overstate the disk.");
    out.push_back(std::move(text));
}

void addFastUncachedReadWarning(const RunRecord &run, std::vector<std::string> &out) {
    std::map<std::string, double> lastWriteRate;
    std::size_t count = 0;
    double worstRatio = 0.0, worstRead = 0.0, worstWrite = 0.0;
    for (const RecordedResult &recorded : run.results) {
        const Result &result = recorded.result;
        if (result.type == ResultKind::Write) {
            lastWriteRate[recorded.path] = result.rate;
            continue;
        }
        if (result.type != ResultKind::UncachedRead || recorded.cache == CacheMode::NotBypassed)
            continue;
        const auto write = lastWriteRate.find(recorded.path);
        if (write == lastWriteRate.end() || !std::isfinite(write->second) || write->second <= 0.0 ||
            !std::isfinite(result.rate) || result.rate <= cacheSuspectRatio * write->second)
            continue;
        ++count;
        const double ratio = result.rate / write->second;
        if (ratio > worstRatio) {
            worstRatio = ratio;
            worstRead = result.rate;
            worstWrite = write->second;
        }
    }
    if (count == 0)
        return;
    std::string text = counted(count, "uncached read");
    if (count == 1)
        text.append(" ran ").append(ratioText(worstRatio)).append(" times faster");
    else
        text.append(" ran more than 10 times faster");
    text.append(" than the write of the same file in this run (");
    if (count != 1)
        text.append("at most ").append(ratioText(worstRatio)).append(" times: ");
    text.append(rateText(worstRead))
        .append(" against ")
        .append(rateText(worstWrite))
        .append(count == 1 ? "): it was likely served from a cache."
                           : "): they were likely served from a cache.");
    out.push_back(std::move(text));
}

void addShortRunWarning(const RunRecord &run, std::vector<std::string> &out) {
    if (run.results.empty())
        return;
    std::int64_t largest = std::numeric_limits<std::int64_t>::min();
    for (const RecordedResult &recorded : run.results)
        largest = std::max(largest, recorded.result.size);
    if (largest >= meaningfulSize)
        return;
    std::string text("Every file of this run is under 10 MB (the largest ");
    text.append(std::to_string(largest))
        .append(largest == 1 ? " byte" : " bytes")
        .append("): rates of transfers this short mean little.");
    out.push_back(std::move(text));
}

} // namespace

std::vector<std::string> runWarnings(const RunRecord &run, SysCalls &calls) {
    std::vector<std::string> warnings;
    if (run.command.empty())
        return warnings;
    addFileSystemWarnings(run, calls, warnings);
    addNotBypassedWarning(run, warnings);
    addAllocationWarning(run, calls, warnings);
    addFastUncachedReadWarning(run, warnings);
    addShortRunWarning(run, warnings);
    return warnings;
}

} // namespace quorlan
