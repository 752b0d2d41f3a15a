#include "sysinfo/PropertyList.h"

#include <gtest/gtest.h>

#include <QDateTime>
#include <QFile>
#include <QTimeZone>

#include <cmath>
#include <limits>

using namespace quorlan;

namespace {

std::optional<QVariant> readText(const QByteArray &xml) {
    return PropertyList::read(xml).root;
}

std::optional<QVariant> readLeaf(const char *element, const QString &text) {
    const QString xml =
        QStringLiteral("<plist><%1>%2</%1></plist>").arg(QLatin1String(element), text);
    return readText(xml.toUtf8());
}

QByteArray nestedArrays(int depth) {
    return "<plist>" + QByteArray("<array>").repeated(depth) +
           QByteArray("</array>").repeated(depth) + "</plist>";
}

} // namespace

TEST(PropertyList, ReadsEveryKindOfValue) {
    QFile file(QStringLiteral(QUORLAN_FUZZ_CORPUS "/property-list/every-kind.plist"));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const PropertyList list = PropertyList::read(file.readAll());
    ASSERT_TRUE(list.root) << list.error.toStdString();
    EXPECT_TRUE(list.error.isEmpty());
    const QVariantMap map = list.root->toMap();
    EXPECT_EQ(map.keys(), QStringList({"bytes", "cdata", "count", "empty", "infinite", "list", "no",
                                       "ratio", "text", "when", "yes"}));
    // Strings keep their blanks; entities and character references are expanded.
    EXPECT_EQ(map["text"], QVariant(QStringLiteral("  A & B <AB> ü ")));
    EXPECT_EQ(map["cdata"], QVariant(QStringLiteral("<a> & ")));
    EXPECT_EQ(map["empty"], QVariant(QString()));
    EXPECT_EQ(map["count"].typeId(), QMetaType::LongLong);
    EXPECT_EQ(map["count"].toLongLong(), std::numeric_limits<qint64>::min());
    EXPECT_EQ(map["ratio"], QVariant(1500.0));
    EXPECT_EQ(map["infinite"], QVariant(-std::numeric_limits<double>::infinity()));
    EXPECT_EQ(map["yes"], QVariant(true));
    EXPECT_EQ(map["no"], QVariant(false));
    const QDateTime when = map["when"].toDateTime();
    EXPECT_EQ(when, QDateTime(QDate(2024, 3, 14), QTime(9, 26, 53), QTimeZone::utc()));
    EXPECT_EQ(when.timeSpec(), Qt::UTC);
    EXPECT_EQ(map["bytes"], QVariant(QByteArray("Hello")));
    EXPECT_EQ(map["list"], QVariant(QVariantList({qint64(7), QVariantList(), QVariantMap()})));
}

TEST(PropertyList, NumbersDatesAndDataAtTheirEdges) {
    EXPECT_EQ(readLeaf("integer", " +42\n"), QVariant(qint64(42)));
    EXPECT_EQ(readLeaf("integer", "9223372036854775807"), QVariant(qint64(INT64_MAX)));
    EXPECT_EQ(readLeaf("integer", "-0"), QVariant(qint64(0)));
    for (const char *refused : {"", " ", "9223372036854775808", "-9223372036854775809", "+-1",
                                "--1", "1.0", "0x10", "1 2", "١", "+"})
        EXPECT_FALSE(readLeaf("integer", refused)) << "integer " << refused;

    EXPECT_EQ(readLeaf("real", "+0.25"), QVariant(0.25));
    EXPECT_EQ(readLeaf("real", " 2 "), QVariant(2.0));
    EXPECT_TRUE(std::isnan(readLeaf("real", "nan")->toDouble()));
    for (const char *refused : {"", "1e400", "1.5x", "+-1", "1,5", "abc"})
        EXPECT_FALSE(readLeaf("real", refused)) << "real " << refused;

    EXPECT_EQ(readLeaf("date", " 2000-02-29T23:59:59Z "),
              QVariant(QDateTime(QDate(2000, 2, 29), QTime(23, 59, 59), QTimeZone::utc())));
    for (const char *refused :
         {"2023-02-29T00:00:00Z", "2024-03-14T24:00:00Z", "2024-03-14 09:26:53Z",
          "2024-03-14T09:26:53", "2024-3-14T09:26:53Z", "2024-03-14T09:26:5aZ",
          "0000-01-01T00:00:00Z", "x024-03-14T09:26:53Z", ""})
        EXPECT_FALSE(readLeaf("date", refused)) << "date " << refused;

    EXPECT_EQ(readLeaf("data", ""), QVariant(QByteArray()));
    EXPECT_EQ(readLeaf("data", "\n\tAAEC\r\n /w== "), QVariant(QByteArray("\x00\x01\x02\xff", 4)));
    for (const char *refused : {"SGVsbG8*", "SGVsbG8=SGVs", "é"})
        EXPECT_FALSE(readLeaf("data", refused)) << "data " << refused;

    EXPECT_EQ(readText("<plist><true> </true></plist>"), QVariant(true));
    EXPECT_FALSE(readText("<plist><true>1</true></plist>"));
}

TEST(PropertyList, RefusesWhatIsNotOneWellFormedValue) {
    const char *const refused[] = {
        "",
        "<plist/>",
        "<plist></plist>",
        "<array/>",
        "<plist><string>a</string><string>b</string></plist>",
        "<plist><dict><key>a</key></dict></plist>",
        "<plist><dict><string>a</string><true/></dict></plist>",
        "<plist><dict><key>a</key><true/><key>a</key><false/></dict></plist>",
        "<plist><dict><key>a<b/></key><true/></dict></plist>",
        "<plist><key>a</key></plist>",
        "<plist><uid>1</uid></plist>",
        "<plist><array>text<true/></array></plist>",
        "<plist><array><![CDATA[]]></array></plist>",
        "<plist><string><b>x</b></string></plist>",
        "<plist><string>a</string>",
        "<plist><string>a</string></plist><plist/>",
        "<plist><string>a</string></plist>trailing",
        "<plist><array></dict></plist>",
        "<plist><x:string xmlns:x='urn:x'>a</x:string></plist>",
        "<plist><string>&undeclared;</string></plist>",
        // An external document type cannot declare entities we would accept.
        "<!DOCTYPE plist SYSTEM 'http://example.org/p.dtd'><plist><string>&x;</string></plist>",
        // Entity declarations are refused even when nothing uses them.
        "<!DOCTYPE plist [<!ENTITY a 'b'>]><plist><string>a</string></plist>",
        "<!DOCTYPE plist [<!ENTITY % p 'b'>]><plist><string>a</string></plist>",
        "\xff\xfe<\x00p\x00",
    };
    for (const char *xml : refused) {
        const PropertyList list = PropertyList::read(QByteArray(xml));
        EXPECT_FALSE(list.root) << xml;
        EXPECT_FALSE(list.error.isEmpty()) << xml;
    }
    EXPECT_EQ(PropertyList::read("<plist>\n<array><uid>1</uid></array></plist>").error,
              "line 2: unknown element <uid>");
    // What is allowed around the value: declaration, document type, comments, instructions.
    EXPECT_EQ(
        readText("<?xml version='1.0'?>\n<!DOCTYPE plist PUBLIC '-//Apple//DTD PLIST 1.0//EN' "
                 "'http://www.apple.com/DTDs/PropertyList-1.0.dtd'>\n<!-- c --><?pi x?>"
                 "<plist version='1.0'>\n<!-- c --><string>a<!-- c -->b</string>\n</plist>\n"),
        QVariant(QStringLiteral("ab")));
}

TEST(PropertyList, BoundsNestingDepth) {
    EXPECT_TRUE(readText(nestedArrays(PropertyList::maxDepth)));
    EXPECT_FALSE(readText(nestedArrays(PropertyList::maxDepth + 1)));
    // Far deeper input is refused at the bound, without recursing further.
    const PropertyList deep = PropertyList::read(nestedArrays(200000));
    EXPECT_FALSE(deep.root);
    EXPECT_NE(deep.error.indexOf(QStringLiteral("nested deeper than 64")), -1)
        << deep.error.toStdString();
    // Dictionaries count as arrays do.
    QByteArray mixed = "<plist>";
    for (int i = 0; i <= PropertyList::maxDepth / 2; ++i)
        mixed += "<dict><key>k</key><array>";
    EXPECT_FALSE(readText(mixed + "<true/>" +
                          QByteArray("</array></dict>").repeated(PropertyList::maxDepth / 2 + 1) +
                          "</plist>"));
}

TEST(PropertyList, BoundsInputSize) {
    QByteArray xml = "<plist><string>x</string></plist>";
    xml.append(QByteArray(PropertyList::maxBytes - xml.size(), ' '));
    EXPECT_TRUE(readText(xml));
    xml.append(' ');
    const PropertyList tooLarge = PropertyList::read(xml);
    EXPECT_FALSE(tooLarge.root);
    EXPECT_EQ(tooLarge.error, QStringLiteral("larger than 16777216 bytes"));
}
