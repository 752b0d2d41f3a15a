#pragma once

// What the results-file fuzzer and its replay test check: any bytes read as a results file keep
// the contract of bench/ResultsFile.h. Both include this header, so a corpus file is checked the
// same way.

#include "bench/ResultsExport.h"
#include "bench/ResultsFile.h"

#include <QByteArray>

#include <algorithm>
#include <string>
#include <string_view>

namespace quorlan::fuzzing {

// Empty when reading bytes as a results file keeps the contract: a file or an error, never both
// or neither; an error is one line that starts with the file's name and ends with a full stop; a
// file read exports a document that reads back to a run exporting the very same bytes.
inline std::string resultsFileViolation(std::string_view bytes) {
    const ResultsFileReading first = parseResultsJson(bytes, "fuzz.json");
    if (first.file.has_value() == !first.error.empty())
        return "both or neither of a file and an error";
    if (!first.file) {
        const std::string &error = first.error;
        const bool oneLine = std::none_of(error.begin(), error.end(), [](char c) {
            return static_cast<unsigned char>(c) < 0x20;
        });
        if (error.rfind("fuzz.json: ", 0) != 0 || error.back() != '.' || !oneLine)
            return "an error that is not one line naming the file: " + error;
        return {};
    }
    const QByteArray exported = resultsJson(first.file->run, first.file->context);
    const ResultsFileReading second = parseResultsJson(
        std::string_view(exported.constData(), static_cast<std::size_t>(exported.size())),
        "again.json");
    if (!second.file)
        return "its export does not read back: " + second.error;
    if (resultsJson(second.file->run, second.file->context) != exported)
        return "its export reads back as a run that exports other bytes";
    return {};
}

} // namespace quorlan::fuzzing
