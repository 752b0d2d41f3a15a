#include "sysinfo/HardwareOverview.h"

#include <gtest/gtest.h>

#include <QFile>

using namespace quorlan;

namespace {

// A report whose top-level array holds the given elements.
QByteArray report(const QString &elements) {
    return (QStringLiteral("<?xml version='1.0' encoding='UTF-8'?><plist version='1.0'><array>") +
            elements + QStringLiteral("</array></plist>"))
        .toUtf8();
}

QString hardware(const QString &items, const QString &dataType = "SPHardwareDataType") {
    return QStringLiteral("<dict><key>_dataType</key><string>%1</string>"
                          "<key>_items</key>%2</dict>")
        .arg(dataType, items);
}

QByteArray corpusFile(const char *name) {
    QFile file(QStringLiteral(QUORLAN_FUZZ_CORPUS "/hardware-overview/") + QLatin1String(name));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

TEST(HardwareOverview, TakesTheFourKeysOfARealReport) {
    EXPECT_EQ(hardwareOverviewFromPropertyList(corpusFile("apple-silicon.xml")),
              QVariantMap({{"chip_type", "Apple M2 Pro"},
                           {"machine_name", "MacBook Pro"},
                           {"number_processors", "proc 12:8:4"},
                           {"physical_memory", "32 GB"}}));
    // An Intel report has no chip type and counts processors as a number.
    const QVariantMap intel = hardwareOverviewFromPropertyList(corpusFile("intel.xml"));
    EXPECT_EQ(intel, QVariantMap({{"machine_name", "MacBook Pro"},
                                  {"number_processors", qint64(1)},
                                  {"physical_memory", "16 GB"}}));
    EXPECT_EQ(intel["number_processors"].typeId(), QMetaType::LongLong);
}

TEST(HardwareOverview, LaterItemsReplaceOnlyTheKeysTheyHave) {
    const QString items = "<array>"
                          "<dict><key>chip_type</key><string>Apple M1</string>"
                          "<key>machine_name</key><string>Mac mini</string>"
                          "<key>physical_memory</key><string>8 GB</string>"
                          "<key>serial_number</key><string>X</string></dict>"
                          "<dict><key>machine_name</key><string>MacBook Air</string>"
                          "<key>physical_memory</key><integer>16</integer></dict>"
                          "</array>";
    EXPECT_EQ(hardwareOverviewFromPropertyList(report(hardware(items))),
              QVariantMap({{"chip_type", "Apple M1"},
                           {"machine_name", "MacBook Air"},
                           {"physical_memory", qint64(16)}}));
    // A second matching element goes on replacing; non-matching elements around it are skipped.
    const QString second = hardware("<array><dict><key>chip_type</key><string>Apple M2</string>"
                                    "</dict></array>");
    EXPECT_EQ(hardwareOverviewFromPropertyList(report(
                  "<string>x</string>" + hardware(items) +
                  hardware("<array><dict><key>chip_type</key><string>no</string></dict></array>",
                           "SPSoftwareDataType") +
                  second))["chip_type"],
              QVariant("Apple M2"));
    EXPECT_EQ(hardwareOverviewFromPropertyList(corpusFile("two-items.xml")),
              QVariantMap({{"chip_type", "Apple M1"},
                           {"machine_name", "Mac mini"},
                           {"physical_memory", "8 GB"}}));
}

TEST(HardwareOverview, AnythingElseGivesTheEmptyOverview) {
    const QString item = "<dict><key>chip_type</key><string>Apple M1</string></dict>";
    const QByteArray empty[] = {
        QByteArray(),
        "not xml at all",
        corpusFile("items-as-dict.xml"),
        report(""),
        report(hardware("<array>" + item + "</array>", "SPHardwareDataTypeX")),
        report(hardware("<array>" + item + "</array>", " SPHardwareDataType")),
        report(hardware("<array>" + item + "</array>", "sphardwaredatatype")),
        report(hardware(item)),
        report(hardware("<array/>")),
        report(hardware("<array>" + item + "<string>x</string></array>")),
        report("<dict><key>_dataType</key><data>U1BIYXJkd2FyZURhdGFUeXBl</data>"
               "<key>_items</key><array>" +
               item + "</array></dict>"),
        report("<dict><key>_items</key><array>" + item + "</array></dict>"),
        // A dictionary at the top level, and a report broken after a good element.
        ("<plist>" + hardware("<array>" + item + "</array>") + "</plist>").toUtf8(),
        report(hardware("<array>" + item + "</array>")).chopped(10),
    };
    for (const QByteArray &xml : empty)
        EXPECT_TRUE(hardwareOverviewFromPropertyList(xml).isEmpty()) << xml.toStdString();
}
