// The settings: coercion of stored values, the store, the panel and font size it keeps, the
// update schedule; and the committed fuzz corpora replayed with the fuzzers' own checks.
#include "SettingCoercionChecks.h"
#include "SettingsFile.h"
#include "UpdateListChecks.h"
#include "appcore/PanelPersistence.h"
#include "appcore/UpdateSchedule.h"

#include <QDateTime>
#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

#include <limits>
#include <tuple>

using namespace quorlan;
using namespace quorlan::fuzzing;
using namespace quorlan::testing;

namespace {

constexpr qint64 int64Max = std::numeric_limits<qint64>::max();
constexpr qint64 int64Min = std::numeric_limits<qint64>::min();

// The four readings of a value: integer, double, boolean, string.
using Readings = std::tuple<qint64, double, bool, std::optional<QString>>;

Readings readingsOf(const QVariant &value) {
    return {integerSetting(value), doubleSetting(value), booleanSetting(value),
            stringSetting(value)};
}

// The panel's fields in declaration order, joined with "|".
std::string fields(const PanelSettings &p) {
    return p.filesize + "|" + std::to_string(p.sizeIndex) + "|" + std::to_string(p.contentIndex) +
           "|" + p.repeats + "|" + p.length + "|" + std::to_string(p.noCache) + "|" +
           std::to_string(p.verbose) + "|" + std::to_string(p.isRandom);
}

QList<QByteArray> corpusInputs(const char *target) {
    const QDir folder(QStringLiteral(QUORLAN_FUZZ_CORPUS "/") + target);
    QList<QByteArray> inputs;
    for (const QString &name : folder.entryList(QDir::Files, QDir::Name)) {
        QFile file(folder.filePath(name));
        inputs.append(file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("unreadable"));
    }
    return inputs;
}

} // namespace

TEST(CorpusReplay, EveryUpdateListInputKeepsTheUpdateListContract) {
    const QList<QByteArray> inputs = corpusInputs("update-list");
    for (qsizetype i = 0; i < inputs.size(); ++i)
        EXPECT_EQ(updateListViolation(inputs[i]), "") << "input " << i;
    EXPECT_GE(inputs.size(), 10);
}

// Each corpus value keeps the coercion contracts; and its readings, stored by a store that stays
// open (a setter writes the file at once) and read from the file as after a restart, are the
// same readings. The fuzzer leaves the file out: QSettings caches files by name, so it would
// need a new file per input.
TEST_F(SettingsFile, EveryCorpusValueKeepsItsReadingsThroughTheSettingsFile) {
    const QList<QByteArray> inputs = corpusInputs("setting-coercion");
    for (qsizetype i = 0; i < inputs.size(); ++i) {
        SCOPED_TRACE(i);
        const std::string_view bytes(inputs[i].constData(), inputs[i].size());
        EXPECT_EQ(settingCoercionViolation(bytes), "");
        const QVariant value = decodeSetting(bytes);
        const std::optional<QString> text = stringSetting(value);

        path = freshPath();
        const auto store = open();
        store->setInteger("integer", integerSetting(value));
        store->setDouble("real", doubleSetting(value));
        store->setBoolean("boolean", booleanSetting(value));
        store->setString("text", text.value_or("none"));
        const auto reopened = restart();
        EXPECT_EQ(std::tuple(reopened->integer("integer"), reopened->doubleValue("real"),
                             reopened->boolean("boolean")),
                  numbersOf(value));
        EXPECT_EQ(reopened->string("text"), text.value_or("none"));
    }
    EXPECT_GE(inputs.size(), 10);
}

// Text, as an INI file gives every value back after a restart (the corpus replay checks the
// general rules): exponents, whole parts truncated exactly from their digits, 0 beyond qint64.
TEST(SettingCoercion, TextAtTheEdgesOfANumber) {
    const std::tuple<const char *, qint64, double> numbers[] = {
        {"-2.7", -2, -2.7},
        {"1e3", 1000, 1000},
        {"1e19", 0, 1e19},
        {"-0.9999999999999999999", 0, -1},
        {"9223372036854775807.9", int64Max, 0x1p63},
        {"9223372036854775808.0", 0, 0x1p63},
        {"-9223372036854775808", int64Min, -0x1p63},
        {"9223372036854775808", 0, 0x1p63}};
    for (const auto &[text, integer, real] : numbers)
        EXPECT_EQ(readingsOf(QString(text)), Readings(integer, real, true, text));
    for (const char *text : {"-", ".", "+-5", "", "0x10", "1,000", "inf", "nan", "1e400", "4.0pt",
                             "12abc", "yes", " FALSE ", "truex"})
        EXPECT_EQ(readingsOf(QString(text)), Readings(0, 0, false, text)) << text;
    EXPECT_EQ(readingsOf(QString(" True\t")), Readings(0, 0, true, " True\t"));
}

// Values of types the corpus leaves out, and the text of lists and numbers.
TEST(SettingCoercion, TypedValuesReadAsThemselves) {
    const std::pair<QVariant, Readings> cases[] = {
        {QVariant(), {0, 0, false, std::nullopt}},
        {QVariant::fromValue(static_cast<signed char>(-5)), {-5, -5, true, "-5"}},
        {4000000000u, {4000000000, 4e9, true, "4000000000"}},
        {QVariant::fromValue(uchar{0}), {0, 0, false, "0"}},
        {2.5f, {2, 2.5, true, "2.5"}},
        {1e21, {0, 1e21, true, "1e+21"}},
        {QStringList{"7"}, {7, 7, true, "7"}},
        {QStringList{"1", " 5"}, {0, 0, false, "1, 5"}},
        {QVariantList{"a", QVariant(), QVariantList{1, 2}, 3}, {0, 0, false, "a,,,3"}},
        {QVariantMap{{"a", 1}}, {0, 0, false, std::nullopt}},
    };
    for (const auto &[value, expected] : cases)
        EXPECT_EQ(readingsOf(value), expected) << value.typeName();
}

// An empty text, one that looks like Qt's own markers, and an absent key read back exactly.
TEST_F(SettingsFile, OddValuesReadBackAfterARestart) {
    open()->setString("empty", QString());
    open()->setString("at", QStringLiteral("@Invalid()"));
    const auto store = restart();
    EXPECT_EQ(store->string("empty"), QString(""));
    EXPECT_EQ(store->string("at"), QStringLiteral("@Invalid()"));
    EXPECT_TRUE(store->contains("empty"));
    EXPECT_FALSE(store->contains("missing"));
    // The user's own store is an INI file named after the program.
    EXPECT_TRUE(SettingsStore().fileName().endsWith(QStringLiteral("/Quorlan/Quorlan.ini")));
}

// A stored index outside the pop-up (three sizes, four contents), or none, keeps the current one.
TEST_F(SettingsFile, RestoredPopUpIndexesStayInsideThePopUp) {
    const std::tuple<qint64, qint64, int, int, int> cases[] = {{3, 4, 1, 1, 1},
                                                               {2, 3, 0, 2, 3},
                                                               {-1, -1, 1, 1, 1},
                                                               {int64Max, 4294967296 + 1, 2, 2, 2},
                                                               {0, 0, 2, 0, 0}};
    for (const auto &[size, content, current, expectedSize, expectedContent] : cases) {
        open()->setInteger(settingKeys::popupSize, size);
        open()->setInteger(settingKeys::popupContent, content);
        const PanelSettings panel =
            restorePanel(*restart(), {.sizeIndex = current, .contentIndex = current}, 3, 4);
        EXPECT_EQ(std::pair(panel.sizeIndex, panel.contentIndex),
                  std::pair(expectedSize, expectedContent))
            << size;
    }
}

// Every field restored after a restart, over what an earlier save stored: texts exactly (an
// empty one is not replaced by its default), a mixed box as off. Absent keys read as 0 and give
// the defaults.
TEST_F(SettingsFile, SavedPanelRestoresAfterARestart) {
    savePanel(*open(), {"5", 0, 0, "2", "3", 0, 1, 1});
    EXPECT_EQ(fields(restorePanel(*restart(), {}, 3, 4)), "5|0|0|2|3|0|1|1");
    savePanel(*open(), {"", 2, 3, " 7x", "1,5", 1, -1, 0});
    EXPECT_EQ(fields(restorePanel(*restart(), {}, 3, 4)), "|2|3| 7x|1,5|1|0|0");
    path = freshPath();
    EXPECT_EQ(fields(restorePanel(*open(), {"x", 1, 2, "x", "x", 1, 1, 1}, 3, 4)),
              "1|0|0|1|5|0|0|0");
}

TEST_F(SettingsFile, AFontSizeBelowFourPointsGivesTwelve) {
    const std::pair<const char *, double> cases[] = {{"3.9", 12}, {"4", 4},    {"1000.5", 1000.5},
                                                     {"-20", 12}, {"nan", 12}, {"abc", 12}};
    for (const auto &[stored, expected] : cases) {
        writeFile(("[General]\nfontSize=" + std::string(stored) + "\n").c_str());
        EXPECT_EQ(restoreFontSize(*open()), expected) << stored;
    }
}

// A check is due once more than the interval (below one second: twelve hours) has passed since
// the last one, even when that lies in the future; the interval in force is written back, and
// the date of the check after it started, from a fresh reading of the clock (now + 0.5).
TEST_F(SettingsFile, AnUpdateCheckStartsOnlyWhenMoreThanTheIntervalHasPassed) {
    const struct {
        bool off;
        double interval, lastCheck, now;
        bool starts;
        double intervalInForce;
    } cases[] = {{false, 0, 0, 8e8, true, 43200},
                 {false, 0.5, 1000, 44200, false, 43200},
                 {false, 0.5, 1000, 44200.001, true, 43200},
                 {false, -60, 1000, 44200, false, 43200},
                 {false, 1, 1000, 1001, false, 1},
                 {false, 1, 1000, 1001.001, true, 1},
                 {false, 60, 5000, 100, false, 60},
                 {false, 60, 5000, 5060, false, 60},
                 {false, 60, 5000, 5060.5, true, 60},
                 {true, 60, 1000, 1e9, false, 60}};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.now);
        open()->setBoolean(settingKeys::noUpdateCheck, c.off);
        open()->setDouble(settingKeys::updateCheckInt, c.interval);
        open()->setDouble(settingKeys::dateLastUpdateCheck, c.lastCheck);
        int started = 0;
        int reads = 0;
        double dateWhileStarting = -1.0; // the stored date of the last check as the check starts
        checkForUpdatesIfDue(
            *restart(), [&] { return c.now + 0.5 * reads++; },
            [&] {
                ++started;
                dateWhileStarting = open()->doubleValue(settingKeys::dateLastUpdateCheck);
            });
        EXPECT_EQ(started, c.starts ? 1 : 0);
        EXPECT_EQ(dateWhileStarting, c.starts ? c.lastCheck : -1.0);
        const auto store = restart();
        EXPECT_EQ(store->boolean(settingKeys::noUpdateCheck), c.off);
        EXPECT_EQ(store->doubleValue(settingKeys::updateCheckInt), c.intervalInForce);
        EXPECT_EQ(store->doubleValue(settingKeys::dateLastUpdateCheck),
                  c.starts ? c.now + 0.5 : c.lastCheck);
    }
}

TEST(ReferenceDate, SecondsSinceTheStartOf2001Utc) {
    const std::pair<const char *, double> cases[] = {{"2026-12-04T17:05:07+01:00", 818093107.0},
                                                     {"2001-01-01T00:00:00.250Z", 0.25},
                                                     {"2000-12-31T23:59:59Z", -1.0},
                                                     {"not a date", 0.0}};
    for (const auto &[moment, seconds] : cases)
        EXPECT_EQ(secondsSinceReferenceDate(QDateTime::fromString(moment, Qt::ISODateWithMs)),
                  seconds)
            << moment;
}
