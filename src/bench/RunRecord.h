#pragma once

#include "analysis/Result.h"
#include "bench/CacheMode.h"
#include "bench/PanelSettings.h"
#include "log/LogLines.h"

#include <optional>
#include <string>
#include <vector>

namespace quorlan {

// One measured file operation of a run, with the file it touched and the cache mode it achieved.
struct RecordedResult {
    Result result;
    std::string path;
    CacheMode cache = CacheMode::None;
};

// Everything one test run measured, for export and for warnings; the log text is built apart
// and is not kept here. A Bench starts a new record at the start of every test.
struct RunRecord {
    std::string command; // the command line's name of the test: "write", "read", "multi-write",
                         // "multi-read" or "mixed"; empty before the first test
    std::string path;    // the file or folder the test ran on, as the panel gave it
    PanelSettings panel; // the panel as the test read it
    std::optional<Date> start;
    std::optional<Date> end;
    bool cancelled = false; // the run stopped early: its results are partial
    // Timed operations that gave no measurement though they had bytes to move: a failure time,
    // a short read, a failed whole write, a write whose buffer could not be had. An empty file
    // read with the cache bypassed (nothing to time) is not one of them.
    std::int64_t failedOperations = 0;
    // Timed operations tried: those that had bytes to move, and any that failed.
    std::int64_t operations = 0;
    // The system's error number for the first failed operation; 0 when none failed or the
    // failure set none (a short read, say).
    int firstFailureErrno = 0;
    // Every measurement in the order it was taken: for the multi-file tests exactly the results
    // the Analyser kept; for the single-file tests their one measurement, when it had a time.
    std::vector<RecordedResult> results;
};

} // namespace quorlan
