#include "PropertyListChecks.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>

#include <functional>
#include <string>

using namespace quorlan::fuzzing;

namespace {

// Runs every file of fuzz/corpus/<target> through check, the fuzzer's own invariants; returns
// how many files there were.
int replay(const char *target, const std::function<std::string(const QByteArray &)> &check) {
    const QDir folder(QStringLiteral(QUORLAN_FUZZ_CORPUS "/") + QLatin1String(target));
    int count = 0;
    for (const QString &name : folder.entryList(QDir::Files, QDir::Name)) {
        QFile file(folder.filePath(name));
        EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << file.fileName().toStdString();
        EXPECT_EQ(check(file.readAll()), "") << file.fileName().toStdString();
        ++count;
    }
    return count;
}

} // namespace

// The seeds, the inputs the fuzzers grew and any input a fuzzer once crashed on come back from
// the reader with the same invariants the fuzzers check.
TEST(FuzzCorpus, PropertyListAndHardwareOverviewInputsKeepTheirInvariants) {
    EXPECT_GE(replay("property-list", propertyListViolation), 10);
    EXPECT_GE(replay("hardware-overview", hardwareOverviewViolation), 10);
}
