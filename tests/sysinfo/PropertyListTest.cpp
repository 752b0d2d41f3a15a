#include "sysinfo/PropertyList.h"
#include "sysinfo/HardwareOverview.h"

#include "../support/GoldenMatch.h"
#include "PropertyListChecks.h"

#include <gtest/gtest.h>

#include <QDebug>
#include <QDir>
#include <QFile>

#include <regex>

using namespace quorlan;
using namespace quorlan::testing;

namespace {

// A value as Qt's debug stream writes it: every value with its type, containers in full.
std::string shown(const QVariant &value) {
    QString text;
    QDebug(&text).nospace() << value;
    return text.toStdString();
}

QByteArray corpusFile(const QString &path) {
    QFile file(QStringLiteral(QUORLAN_FUZZ_CORPUS "/") + path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// A report whose top-level array holds the given elements.
QByteArray report(const QString &elements) {
    return ("<plist version='1.0'><array>" + elements + "</array></plist>").toUtf8();
}

// An element of the report of this data type, with these items.
QString hardware(const QString &items, const QString &dataType = "SPHardwareDataType") {
    return "<dict><key>_dataType</key><string>" + dataType + "</string><key>_items</key>" + items +
           "</dict>";
}

QByteArray nestedArrays(int depth) {
    return "<plist>" + QByteArray("<array>").repeated(depth) +
           QByteArray("</array>").repeated(depth) + "</plist>";
}

} // namespace

// Each case (a leaf as "element:text" inside <plist>, or a whole document) with what the reader
// makes of it: the value, or the reason it is refused.
TEST(PropertyList, CasesMatchTheirSnapshot) {
    const char *const cases[] = {
        // Numbers, dates and data at their edges.
        "integer: +42\n", "integer:9223372036854775807", "integer:-0",
        "integer:", "integer: ", "integer:9223372036854775808", "integer:-9223372036854775809",
        "integer:+-1", "integer:--1", "integer:1.0", "integer:0x10", "integer:1 2", "integer:١",
        "integer:+", "real:+0.25", "real: 2 ", "real:nan", "real:", "real:1e400", "real:1.5x",
        "real:+-1", "real:1,5", "real:abc", "date: 2000-02-29T23:59:59Z ",
        "date:2023-02-29T00:00:00Z", "date:2024-03-14T24:00:00Z", "date:2024-03-14 09:26:53Z",
        "date:2024-03-14T09:26:53", "date:2024-3-14T09:26:53Z", "date:2024-03-14T09:26:5aZ",
        "date:0000-01-01T00:00:00Z", "date:x024-03-14T09:26:53Z",
        "date:", "data:", "data:\n\tAAEC\r\n /w== ", "data:SGVsbG8*", "data:SGVsbG8=SGVs", "data:é",
        "true: ", "true:1",
        // Documents that are not one well-formed value.
        "", "<plist/>", "<plist></plist>", "<array/>",
        "<plist><string>a</string><string>b</string></plist>",
        "<plist><dict><key>a</key></dict></plist>",
        "<plist><dict><string>a</string><true/></dict></plist>",
        "<plist><dict><key>a</key><true/><key>a</key><false/></dict></plist>",
        "<plist><dict><key>a<b/></key><true/></dict></plist>", "<plist><key>a</key></plist>",
        "<plist>\n<array><uid>1</uid></array></plist>", "<plist><array>text<true/></array></plist>",
        "<plist><array><![CDATA[]]></array></plist>", "<plist><string><b>x</b></string></plist>",
        "<plist><string>a</string>", "<plist><string>a</string></plist><plist/>",
        "<plist><string>a</string></plist>trailing", "<plist><array></dict></plist>",
        "<plist><x:string xmlns:x='urn:x'>a</x:string></plist>",
        "<plist><string>&undeclared;</string></plist>",
        // An external document type cannot declare entities we would accept, and declarations
        // are refused even when nothing uses them.
        "<!DOCTYPE plist SYSTEM 'http://example.org/p.dtd'><plist><string>&x;</string></plist>",
        "<!DOCTYPE plist [<!ENTITY a 'b'>]><plist><string>a</string></plist>",
        "<!DOCTYPE plist [<!ENTITY % p 'b'>]><plist><string>a</string></plist>",
        "\xff\xfe<\x00p\x00",
        // What is allowed around the value: declaration, document type, comments, instructions.
        "<?xml version='1.0'?>\n<!DOCTYPE plist PUBLIC '-//Apple//DTD PLIST 1.0//EN' "
        "'http://www.apple.com/DTDs/PropertyList-1.0.dtd'>\n<!-- c --><?pi x?><plist "
        "version='1.0'>\n<!-- c --><string>a<!-- c -->b</string>\n</plist>\n"};
    std::string results;
    for (const std::string xml : cases) {
        const std::string document =
            std::regex_replace(xml, std::regex("^([a-z]+):([^]*)$"), "<plist><$1>$2</$1></plist>");
        const PropertyList list = PropertyList::read(QByteArray::fromStdString(document));
        results +=
            QByteArray::fromStdString(xml).toPercentEncoding(" <>/:'=!?-.,+[]&;%").toStdString() +
            "\n  " + (list.root ? shown(*list.root) : "refused: " + list.error.toStdString()) +
            "\n";
    }
    results += "every-kind.plist\n  " +
               shown(*PropertyList::read(corpusFile("property-list/every-kind.plist")).root) + "\n";
    EXPECT_TRUE(matchesSnapshot(results, "property-list-cases.txt"));
}

// The overview of real reports (an Intel one has no chip type and counts processors as a
// number), and of reports that are not quite one (each gives the empty overview): later items
// replace only the keys they have, elements of other types are skipped, and a second hardware
// element goes on replacing.
TEST(HardwareOverview, OverviewsMatchTheirSnapshot) {
    const QString m1 = "<array><dict><key>chip_type</key><string>Apple M1</string>"
                       "<key>machine_name</key><string>Mac mini</string>"
                       "<key>physical_memory</key><string>8 GB</string>"
                       "<key>serial_number</key><string>X</string></dict>"
                       "<dict><key>machine_name</key><string>MacBook Air</string>"
                       "<key>physical_memory</key><integer>16</integer></dict></array>";
    const QString item =
        "<array><dict><key>chip_type</key><string>Apple M2</string></dict></array>";
    const QByteArray cases[] = {
        corpusFile("hardware-overview/apple-silicon.xml"),
        corpusFile("hardware-overview/intel.xml"), corpusFile("hardware-overview/two-items.xml"),
        corpusFile("hardware-overview/items-as-dict.xml"), report(hardware(m1)),
        report("<string>x</string>" + hardware(m1) + hardware(item, "SPSoftwareDataType") +
               hardware(item)),
        QByteArray(), "not xml at all", report(""), report(hardware(item, "SPHardwareDataTypeX")),
        report(hardware(item, " SPHardwareDataType")), report(hardware(item, "sphardwaredatatype")),
        report(hardware("<dict/>")), report(hardware("<array/>")),
        report(hardware("<array><dict/><string>x</string></array>")),
        report("<dict><key>_dataType</key><data>U1BIYXJkd2FyZURhdGFUeXBl</data><key>_items</key>" +
               item + "</dict>"),
        report("<dict><key>_items</key>" + item + "</dict>"),
        // A dictionary at the top level, and a report broken after a good element.
        ("<plist>" + hardware(item) + "</plist>").toUtf8(), report(hardware(item)).chopped(10)};
    std::string results;
    for (const QByteArray &xml : cases)
        results += shown(QVariant(hardwareOverviewFromPropertyList(xml))) + "\n";
    EXPECT_TRUE(matchesSnapshot(results, "hardware-overview-cases.txt"));
}

// Dictionaries count as arrays do; far deeper input is refused at the bound without recursing
// further. One byte above maxBytes is refused.
TEST(PropertyList, BoundsNestingDepthAndSize) {
    EXPECT_TRUE(PropertyList::read(nestedArrays(PropertyList::maxDepth)).root);
    EXPECT_FALSE(PropertyList::read(nestedArrays(PropertyList::maxDepth + 1)).root);
    EXPECT_EQ(PropertyList::read(nestedArrays(200000)).error, "line 1: nested deeper than 64");
    const int pairs = PropertyList::maxDepth / 2 + 1; // of a dictionary holding an array
    EXPECT_FALSE(
        PropertyList::read("<plist>" + QByteArray("<dict><key>k</key><array>").repeated(pairs) +
                           "<true/>" + QByteArray("</array></dict>").repeated(pairs) + "</plist>")
            .root);
    QByteArray xml = "<plist><string>x</string></plist>";
    xml.append(QByteArray(PropertyList::maxBytes - xml.size(), ' '));
    EXPECT_TRUE(PropertyList::read(xml).root);
    EXPECT_EQ(PropertyList::read(xml + ' ').error, "larger than 16777216 bytes");
}

// The seeds, the inputs the fuzzers grew and any input a fuzzer once crashed on come back from
// the readers with the invariants the fuzzers check.
TEST(FuzzCorpus, PropertyListAndHardwareOverviewInputsKeepTheirInvariants) {
    for (const auto &[target, check] :
         {std::pair{"property-list", &fuzzing::propertyListViolation},
          {"hardware-overview", &fuzzing::hardwareOverviewViolation}}) {
        const QDir folder(QStringLiteral(QUORLAN_FUZZ_CORPUS "/") + QLatin1String(target));
        const QStringList names = folder.entryList(QDir::Files, QDir::Name);
        EXPECT_GE(names.size(), 10) << target;
        for (const QString &name : names) {
            QFile file(folder.filePath(name));
            EXPECT_TRUE(file.open(QIODevice::ReadOnly));
            EXPECT_EQ(check(file.readAll()), "") << file.fileName().toStdString();
        }
    }
}
