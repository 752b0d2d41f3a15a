#include "app/LoadedRuns.h"

#include "bench/ResultsFile.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>

namespace quorlan {

namespace {

QString tr(const char *text) {
    return QCoreApplication::translate("quorlan::LoadedRuns", text);
}

// The chart's data of a loaded run: every result is kept, whatever its size.
RateChartData chartOf(const RunRecord &run) {
    Analyser analyser;
    for (const RecordedResult &recorded : run.results) {
        const Result &r = recorded.result;
        analyser.addResult(r.type, r.size, r.time, r.rate);
    }
    return rateChartData(analyser);
}

// The day of "2026-12-07T05:00:00Z", "2026-12-07"; "date unknown" for an empty text.
QString dayOf(const std::string &date) {
    return date.empty() ? tr("date unknown") : QString::fromStdString(date.substr(0, 10));
}

} // namespace

QStringList LoadedRuns::load(const QStringList &paths) {
    QStringList failures;
    for (const QString &path : paths) {
        ResultsFileReading reading = readResultsFile(QFile::encodeName(path).toStdString());
        if (!reading.file) {
            failures << QString::fromStdString(reading.error);
            continue;
        }
        const ResultsFile &file = *reading.file;
        runs_.push_back(
            {comparedRun(file.run, file.context, QFileInfo(path).fileName().toStdString()),
             chartOf(file.run)});
    }
    return failures;
}

Verdicts LoadedRuns::verdicts(const std::optional<ComparedRun> &current) const {
    Verdicts verdicts;
    if (runs_.empty())
        return verdicts;
    const ComparedRun &base = current ? *current : runs_.front().compared;
    if (current)
        verdicts.heading = tr("Each loaded run against this run:");
    else if (runs_.size() == 1)
        verdicts.heading = tr("No multi-file test has run in this window: load another results "
                              "file to compare with %1.")
                               .arg(QString::fromStdString(base.label));
    else
        verdicts.heading = tr("No multi-file test has run in this window: each loaded run "
                              "against the first, %1:")
                               .arg(QString::fromStdString(base.label));
    for (std::size_t i = current ? 0 : 1; i < runs_.size(); ++i) {
        const RunComparison comparison = compareRuns(base, runs_[i].compared);
        QStringList warnings;
        for (const std::string &warning : comparison.warnings)
            warnings << QString::fromStdString(warning);
        for (const KindComparison &kind : comparison.kinds)
            verdicts.rows.push_back({QString::fromStdString(comparison.otherLabel),
                                     QString::fromUtf8(rateSeriesName(kind.kind)),
                                     QString::fromStdString(kind.verdict), warnings});
    }
    return verdicts;
}

QString LoadedRuns::legendLabel(const ComparedRun &run) {
    return QString::fromStdString(run.label) + ", " + dayOf(run.date);
}

} // namespace quorlan
