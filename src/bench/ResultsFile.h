#pragma once

#include "analysis/RunComparison.h"
#include "bench/ResultsExport.h"
#include "bench/RunRecord.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace quorlan {

// A results file of this program read back: the run and its context, as resultsJson wrote them.
// What the export does not carry stays at its default: the counts of operations and failures,
// and the dates' fractions of a second. "partial" becomes run.cancelled; a null time or rate
// becomes NaN, a null date no value, a null file-system type an empty text. The panel's readings
// and the summary are not read: they follow from the panel and the results.
struct ResultsFile {
    RunRecord run;
    ExportContext context;
};

// Either the file, or one sentence naming the file and what is wrong with it, for example
// "base.json: results[3].size is not a whole number." (never both, never neither).
struct ResultsFileReading {
    std::optional<ResultsFile> file;
    std::string error;
};

// The largest results file read; a larger one is refused before it is read.
inline constexpr std::int64_t maxResultsFileBytes = 1024LL * 1024 * 1024;

// Reads a results file (format 1): strict about every key it uses (present, of its type, in
// range, a type that matches its typeCode, a known cache mode, a date such as
// "2026-12-07T05:00:00Z" that a Date holds), and it ignores keys it does not know, so that a later
// version may add some without a new format number. Objects and arrays nested more than seven
// deep are refused before the JSON is parsed. The first problem found is the message; name is how
// it calls the file. Never throws.
ResultsFileReading parseResultsJson(std::string_view bytes, const std::string &name);

// parseResultsJson of the file at path, named by its file name; a file that cannot be opened or
// read, or is larger than maxResultsFileBytes (refused before it is read), gives a message too.
ResultsFileReading readResultsFile(const std::string &path);

// The same with another bound: a file larger than largestBytes is refused.
ResultsFileReading readResultsFile(const std::string &path, std::int64_t largestBytes);

// The run as a comparison takes it: label names it in the comparison's texts (a file name, or
// "this run"), the date is its start in the export's UTC form (empty when unknown), and what
// makes two runs comparable comes from the run and its context. The machine is the description
// followed by the system's version as the run footer shows it ("Running macOS version V"; no
// such line when the version is unknown), so that a new system version on the same computer
// counts as another machine; the fill byte is the panel's reading; the cache modes are those of
// the reads and uncached reads.
ComparedRun comparedRun(const RunRecord &run, const ExportContext &context, std::string label);

} // namespace quorlan
