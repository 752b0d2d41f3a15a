#include "app/RunOutcome.h"

#include <QCoreApplication>

#include <set>
#include <system_error>

namespace quorlan {

namespace {

QString tr(const char *text) {
    return QCoreApplication::translate("RunOutcome", text);
}

bool isWrite(const Result &result) {
    return result.type == ResultKind::Write;
}

} // namespace

QString failureSentence(const RunRecord &run) {
    if (run.failedOperations <= 0)
        return {};
    QString sentence =
        run.operations == 1
            ? tr("The test's timed operation failed")
            : tr("%1 of %2 timed operations failed").arg(run.failedOperations).arg(run.operations);
    if (run.firstFailureErrno != 0)
        sentence += (run.operations == 1 ? tr(": %1") : tr("; the first: %1"))
                        .arg(QString::fromStdString(
                            std::generic_category().message(run.firstFailureErrno)));
    return sentence + '.';
}

QString notAvailableReason(const RunRecord &run, bool writes) {
    std::set<std::int64_t> sizes;
    for (const RecordedResult &recorded : run.results)
        if (isWrite(recorded.result) == writes)
            sizes.insert(recorded.result.size);
    if (sizes.size() >= 2)
        return tr("The times measured do not grow with the file size, so no rate can be "
                  "regressed from them.");
    if (run.cancelled)
        return tr("The test was cancelled before files of two different sizes were measured; a "
                  "rate is regressed from at least two sizes.");
    return tr("Every file measured had the same size; a rate is regressed from files of at "
              "least two different sizes.");
}

} // namespace quorlan
