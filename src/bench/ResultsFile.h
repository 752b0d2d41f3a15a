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
// and the dates' fractions of a second. "partial" becomes run.cancelled; a null figure (time,
// rate, fill byte) becomes NaN or no value; a null file-system type an empty text.
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
// range, a known kind and cache mode), and it ignores keys it does not know, so that a later
// version may add some without a new format number. name is how the messages call the file.
ResultsFileReading parseResultsJson(std::string_view bytes, const std::string &name);

// parseResultsJson of the file at path, named by its file name; a file that cannot be opened or
// read, or is larger than maxResultsFileBytes, gives a message too.
ResultsFileReading readResultsFile(const std::string &path);

// The run as a comparison takes it: label names it in the comparison's texts (a file name, or
// "this run"), the date is its start in the export's UTC form (empty when unknown), and what
// makes two runs comparable comes from the run and its context.
ComparedRun comparedRun(const RunRecord &run, const ExportContext &context, std::string label);

} // namespace quorlan
