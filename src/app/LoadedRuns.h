#pragma once

#include "analysis/RateChartData.h"
#include "analysis/RunComparison.h"

#include <QString>
#include <QStringList>

#include <optional>
#include <vector>

namespace quorlan {

// A results file loaded for comparison.
struct LoadedRun {
    ComparedRun compared; // labelled by its file name
    RateChartData chart;  // its rates as the chart takes a run's
};

// One row of the verdicts: a loaded run against the base for one kind.
struct VerdictRow {
    QString run;  // the loaded run's file name
    QString kind; // the chart's name of the kind
    QString verdict;
    QStringList warnings; // how the two runs are not alike; none when they are
};

// The verdicts under the chart: what they are against, and their rows.
struct Verdicts {
    QString heading;
    std::vector<VerdictRow> rows;
};

// The results files loaded for comparison with the window's current run, in the order they were
// loaded. The same file loaded twice is there twice.
class LoadedRuns final {
public:
    // Reads each file at paths and appends those that could be read, in the order given. Returns
    // the reader's sentence for each file that could not be read, in the same order.
    QStringList load(const QStringList &paths);
    void clear() { runs_.clear(); }
    bool empty() const { return runs_.empty(); }
    const std::vector<LoadedRun> &runs() const { return runs_; }

    // Each loaded run against current, kind by kind. Without a current run the first loaded run
    // is the base, and the heading says so; it has no rows of its own.
    Verdicts verdicts(const std::optional<ComparedRun> &current) const;

    // How the chart's legend names a loaded run: its file name and the day it started (UTC), such
    // as "base.json, 2026-12-07"; a longer name would be cut in the legend.
    static QString legendLabel(const ComparedRun &run);

private:
    std::vector<LoadedRun> runs_;
};

} // namespace quorlan
