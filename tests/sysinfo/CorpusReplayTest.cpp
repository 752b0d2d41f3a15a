#include "sysinfo/HardwareOverview.h"
#include "sysinfo/PropertyList.h"

#include <gtest/gtest.h>

#include <QDirIterator>
#include <QFile>

using namespace quorlan;

// Every file of the fuzz corpus (seeds, and any input a fuzzer once crashed on) goes through
// both parsers and must come back.
TEST(FuzzCorpus, EveryFileIsParsedWithoutCrashing) {
    QDirIterator files(QStringLiteral(QUORLAN_FUZZ_CORPUS), QDir::Files,
                       QDirIterator::Subdirectories);
    int count = 0;
    while (files.hasNext()) {
        QFile file(files.next());
        ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << file.fileName().toStdString();
        const QByteArray bytes = file.readAll();
        const PropertyList list = PropertyList::read(bytes);
        EXPECT_NE(list.root.has_value(), !list.error.isEmpty()) << file.fileName().toStdString();
        hardwareOverviewFromPropertyList(bytes);
        ++count;
    }
    EXPECT_GE(count, 10);
}
