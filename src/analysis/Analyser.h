#pragma once

#include "analysis/Result.h"

#include <cstdint>
#include <set>
#include <string>
#include <vector>

namespace quorlan {

// Collects the results of one multi-file test run, grouped by kind, and
// turns them into the analysis report.
class Analyser {
public:
    std::int64_t minSize = 0;          // results smaller than this are dropped
    std::vector<double> theRates;      // every recorded rate, in arrival order
    std::vector<Result> theWrites;     // ResultKind::Write
    std::vector<Result> theReads1;     // ResultKind::Read, regular reads
    std::vector<Result> theReads2;     // ResultKind::UncachedRead
    std::set<std::int64_t> theSizeSet; // distinct sizes of all recorded results
    std::string theReadResult = "0.00 MB/s";
    std::string theWriteResult = "0.00 MB/s";

    // Empties the rates, the result lists and the size set; keeps minSize
    // and the two result texts.
    void reset();

    // True when addResult records a result of this size: size is at least minSize (signed).
    bool keeps(std::int64_t size) const { return size >= minSize; }

    // Records the result when keeps(size): its rate and size always, the result itself in the
    // list of its kind (in none for a code of no known kind). A result not kept changes nothing.
    void addResult(ResultKind type, std::int64_t size, double time, double rate);

    // Builds the report text and sets theReadResult / theWriteResult from
    // the sections present.
    std::string buildReport();
};

} // namespace quorlan
