#include "app/FreeSpaceQuestion.h"

#include "analysis/Statistics.h"
#include "app/TestCommand.h"
#include "bench/Bench.h"
#include "bench/Saturating.h"
#include "bench/TestFiles.h"
#include "bench/VolumeInfo.h"

#include <QCoreApplication>

#include <algorithm>

namespace quorlan {

namespace {

QString tr(const char *text) {
    return QCoreApplication::translate("FreeSpaceQuestion", text);
}

QString byteCount(std::int64_t bytes) {
    return QString::fromStdString(formatByteCount(bytes));
}

std::int64_t sumOfSizes(const std::vector<std::int64_t> &sizes) {
    std::int64_t sum = 0;
    for (std::int64_t size : sizes)
        sum = saturatingAdd(sum, std::max<std::int64_t>(size, 0));
    return sum;
}

struct PlannedWrites {
    std::int64_t bytes = 0;
    std::int64_t replaced = 0; // bytes of the files the writes replace
};

// What the test about to run on path writes, as Bench will plan it.
std::optional<PlannedWrites> plannedWrites(SysCalls &calls, const TestCommand &command,
                                           const std::string &path, const PanelSettings &panel,
                                           const Bench &bench) {
    if (command.test == &Bench::runWriteTest) {
        const std::optional<std::int64_t> size = readFileSize(panel);
        if (!size)
            return std::nullopt;
        return PlannedWrites{*size, allocatedBytes(calls, path).value_or(0)};
    }
    if (command.test == &Bench::performMultiWrite && !isChecked(panel.isRandom)) {
        const std::int64_t passes = atLeastOne(readRepeats(panel));
        return PlannedWrites{
            saturatingMultiply(sumOfSizes(bench.theStdSizes), passes),
            allocatedToTestFiles(calls, path, 1, passes, bench.theStdSizes.size())};
    }
    if (command.test == &Bench::performMixedTest)
        return PlannedWrites{sumOfSizes(bench.theSizes),
                             allocatedToTestFiles(calls, path, 0, 0, bench.theSizes.size())};
    return std::nullopt;
}

} // namespace

std::optional<Alert> freeSpaceQuestion(SysCalls &calls, const TestCommand &command,
                                       const std::string &path, const PanelSettings &panel,
                                       const Bench &bench) {
    const std::optional<PlannedWrites> plan = plannedWrites(calls, command, path, panel, bench);
    if (!plan)
        return std::nullopt;
    const std::optional<std::int64_t> free =
        freeBytesShortOf(calls, path, plan->bytes, plan->replaced);
    if (!free)
        return std::nullopt;
    QString text = tr("This test writes %1; the volume has %2 free")
                       .arg(byteCount(plan->bytes), byteCount(*free));
    if (plan->replaced > 0)
        text += tr(", and %1 in the files it replaces").arg(byteCount(plan->replaced));
    return Alert{text + '.',
                 tr("The writes that do not fit will fail, and the volume will be full until "
                    "the test files are removed."),
                 AlertStyle::Critical,
                 {tr("Cancel"), tr("Run")}};
}

} // namespace quorlan
