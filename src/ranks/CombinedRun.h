#pragma once

#include "analysis/ResultKind.h"
#include "bench/ResultsExport.h"
#include "bench/RunRecord.h"
#include "ranks/RankStep.h"

#include <QByteArray>
#include <QJsonObject>

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace quorlan {

// One rank's part of a coordinated test, as rank 0 gathers it.
struct RankRun {
    int rank = 0;
    std::string host;
    RunRecord run;               // the rank's own run: its results carry the paths it touched
    ExportContext context;       // its machine and file system
    std::vector<RankStep> steps; // in step order
};

// One step of the coordinated test over all ranks that measured it. The aggregate rate is the
// bytes all those ranks moved divided by the span from the earliest start to the latest end of
// their timed spans (each counted from its own rank's barrier): what the shared volume gave.
struct AggregateStep {
    std::int64_t step = 0;
    ResultKind kind = ResultKind::Write;
    CacheMode cache = CacheMode::None; // the ranks' own, or the weakest of them when they differ
                                       // (direct, then pages dropped, then not bypassed)
    int ranks = 0;                     // ranks that measured the step
    std::int64_t bytes = 0;            // their bytes together
    double span = 0.0;                 // seconds
    double rate = 0.0;                 // bytes / span, bytes per second
    int slowestRank = 0; // the lowest rate of a rank's own result (the lower rank on a tie)
    double slowestRate = 0.0;
    int fastestRank = 0;
    double fastestRate = 0.0;
};

// The steps every rank measured something at, by step then kind; a step whose span is not
// positive is left out.
std::vector<AggregateStep> aggregateSteps(const std::vector<RankRun> &ranks);

// The aggregate steps as a run: each step one result whose size is its bytes and time its span,
// with the shared path and the step's cache mode; command, path and panel from rank 0; the earliest
// start and latest end; cancelled and the counts of operations summed over every rank.
RunRecord aggregateRun(const std::vector<RankRun> &ranks, const std::string &path,
                       const std::vector<AggregateStep> &steps);

// "step,type,ranks,bytes,span,rate,slowest_rank,slowest_rate,fastest_rank,fastest_rate\n"
std::string aggregateHeaderLine();
// One step as its line: the type as the log writes it, the span as the log writes a time, rates
// in whole bytes per second.
std::string aggregateStepLine(const AggregateStep &step);

// What rank 0 prints: the header and a line per aggregate step (logged while the test runs), then
// the end of the log.
std::string combinedLog(const std::vector<RankRun> &ranks, const std::string &path);
// The end of rank 0's log: "Test cancelled." when any rank stopped early, the report over the
// aggregate steps, the path line, one line per host ("Host NAME: ranks 0, 2", in order of each
// host's first rank) and the run footer of rank 0's machine over the whole run.
std::string combinedLogEnd(const std::vector<RankRun> &ranks, const std::string &path);

// One rank as the combined JSON holds it, and as it travels to rank 0: its results document
// with "rank", "host", its counts of operations and "steps".
QJsonObject rankObject(const RankRun &rank);
// The rank back from rankObject's JSON text; false when the text is not one (the rank's run is
// then empty and its steps none).
bool readRankObject(std::string_view bytes, RankRun &rank);

// The combined results document: the aggregate run in the results format (so that compare reads
// it) with every rank's object in "ranks", in rank order.
QByteArray combinedJson(const std::vector<RankRun> &ranks, const std::string &path);

} // namespace quorlan
