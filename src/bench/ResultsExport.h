#pragma once

#include "analysis/ResultKind.h"
#include "bench/CacheMode.h"
#include "bench/RunRecord.h"

#include <QByteArray>

#include <optional>
#include <string>

namespace quorlan {

// What an export tells beside the run itself: the machine description (Bench's macType,
// macOSVersion and quorlanVersion) and the type of the file system the test ran on, as text such
// as "ext4"; an empty text means unknown. The front end fills it.
struct ExportContext {
    std::string macType;
    std::string macOSVersion;
    std::string quorlanVersion;
    std::string fileSystemType;
};

// The version of the JSON layout below; it changes whenever a key changes.
inline constexpr int resultsFormatVersion = 1;

// The run as a UTF-8 JSON document (format 1): command, path, panel and its readings, UTC dates,
// partial, machine, file system, every result in measurement order and a summary per kind with
// the report's figures. Figures without a value are null. Readers ignore the keys they do not
// know, so a key may be added without a new format number (the summary's quartiles came so);
// only a key removed, renamed or of another meaning changes it. Texts that are not valid UTF-8
// (paths are bytes) carry U+FFFD in place of the invalid bytes.
QByteArray resultsJson(const RunRecord &run, const ExportContext &context);

// The run's results as RFC 4180 CSV: CRLF line ends, a header row
// "type,typeCode,size,time,rate,cache,path", then one row per result in measurement order.
// Doubles are the shortest text that reads back as the same value (C locale); paths are the
// bytes as given. The context is not used: CSV carries the results only.
QByteArray resultsCsv(const RunRecord &run, const ExportContext &context);

// A date as the export writes it, in UTC to the second (truncated toward the past), such as
// "2026-12-07T05:00:00Z"; empty for a date outside the years 1 to 9999.
std::string utcDateText(Date date);

// The words of the export for a result's kind ("write", "read", "uncached-read"; "unknown" for
// a code of no known kind) and for a cache mode ("none", "cached", "direct", "pages-dropped",
// "not-bypassed"). Beside the word, the export writes the kind's resultTypeCode.
const char *resultTypeName(ResultKind kind);
const char *cacheModeName(CacheMode cache);
// The cache mode of one of those words; none for any other text.
std::optional<CacheMode> cacheModeNamed(const std::string &name);

} // namespace quorlan
