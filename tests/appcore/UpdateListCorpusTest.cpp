#include "UpdateListChecks.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>

using namespace quorlan::fuzzing;

// Every file of the update-list corpus (seeds, grown inputs, any input a fuzzer once crashed on)
// is read as a downloaded update list with the fuzzer's invariants.
TEST(UpdateListCorpus, EveryInputKeepsTheUpdateListContract) {
    const QDir folder(QStringLiteral(QUORLAN_FUZZ_CORPUS "/update-list"));
    int count = 0;
    for (const QString &name : folder.entryList(QDir::Files, QDir::Name)) {
        QFile file(folder.filePath(name));
        ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << name.toStdString();
        EXPECT_EQ(updateListViolation(file.readAll()), "") << name.toStdString();
        ++count;
    }
    EXPECT_GE(count, 10);
}
