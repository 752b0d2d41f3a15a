#include "sysinfo/PropertyList.h"

#include "../support/GoldenMatch.h"
#include "PropertyListChecks.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>

using namespace quorlan;
using namespace quorlan::testing;

namespace {

// A value as "type(text)", containers with their items in order; what the reader gave, in full.
std::string shown(const QVariant &value) {
    std::string text = std::string(value.typeName()) + "(";
    if (value.typeId() == QMetaType::QVariantList) {
        for (const QVariant &item : value.toList())
            text += shown(item) + " ";
    } else if (value.typeId() == QMetaType::QVariantMap) {
        const QVariantMap map = value.toMap();
        for (auto it = map.cbegin(); it != map.cend(); ++it)
            text += it.key().toStdString() + "=" + shown(it.value()) + " ";
    } else if (value.typeId() == QMetaType::QByteArray) {
        text += value.toByteArray().toHex().toStdString();
    } else if (value.typeId() == QMetaType::QDateTime) {
        text += value.toDateTime().toString(Qt::ISODate).toStdString();
    } else {
        text += value.typeId() == QMetaType::Double
                    ? QString::number(value.toDouble(), 'g', 17).toStdString()
                    : value.toString().toStdString();
    }
    return text + ")";
}

std::string shown(const PropertyList &list) {
    return list.root ? shown(*list.root) : "refused: " + list.error.toStdString();
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
        const std::size_t colon = xml.find(':');
        const std::string document = xml.empty() || xml[0] == '<' || colon == std::string::npos
                                         ? xml
                                         : "<plist><" + xml.substr(0, colon) + ">" +
                                               xml.substr(colon + 1) + "</" + xml.substr(0, colon) +
                                               "></plist>";
        results +=
            QByteArray::fromStdString(xml).toPercentEncoding(" <>/:'=!?-.,+[]&;%").toStdString() +
            "\n  " + shown(PropertyList::read(QByteArray::fromStdString(document))) + "\n";
    }
    QFile everyKind(QStringLiteral(QUORLAN_FUZZ_CORPUS "/property-list/every-kind.plist"));
    ASSERT_TRUE(everyKind.open(QIODevice::ReadOnly));
    results += "every-kind.plist\n  " + shown(PropertyList::read(everyKind.readAll())) + "\n";
    EXPECT_TRUE(matchesSnapshot(results, "property-list-cases.txt"));
}

// Dictionaries count as arrays do; far deeper input is refused at the bound without recursing
// further. One byte above maxBytes is refused.
TEST(PropertyList, BoundsNestingDepthAndSize) {
    EXPECT_TRUE(PropertyList::read(nestedArrays(PropertyList::maxDepth)).root);
    EXPECT_FALSE(PropertyList::read(nestedArrays(PropertyList::maxDepth + 1)).root);
    EXPECT_EQ(PropertyList::read(nestedArrays(200000)).error, "line 1: nested deeper than 64");
    QByteArray mixed = "<plist>";
    for (int i = 0; i <= PropertyList::maxDepth / 2; ++i)
        mixed += "<dict><key>k</key><array>";
    mixed += "<true/>" + QByteArray("</array></dict>").repeated(PropertyList::maxDepth / 2 + 1);
    EXPECT_FALSE(PropertyList::read(mixed + "</plist>").root);
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
