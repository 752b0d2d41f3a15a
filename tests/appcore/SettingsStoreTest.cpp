#include "appcore/SettingsStore.h"
#include "SettingsFile.h"
#include "appcore/PanelPersistence.h"
#include "appcore/SettingCoercion.h"

#include <QFile>
#include <QStringList>
#include <QTemporaryDir>
#include <QVariant>
#include <QVariantMap>

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <memory>

using namespace quorlan;
using namespace quorlan::testing;

namespace {

constexpr qint64 int64Max = std::numeric_limits<qint64>::max();
constexpr qint64 int64Min = std::numeric_limits<qint64>::min();

} // namespace

// ---- the store: types after a restart, absent keys, write-through -------------------------

TEST_F(SettingsFile, EveryTypeReadsBackAfterTheStoreIsReopened) {
    {
        SettingsStore store(path);
        store.setInteger("int", -7);
        store.setInteger("intMax", int64Max);
        store.setInteger("intMin", int64Min);
        store.setDouble("double", 0.1);
        store.setDouble("huge", 1.5e300);
        store.setDouble("negative", -2.5);
        store.setBoolean("yes", true);
        store.setBoolean("no", false);
        store.setString("empty", QString());
        store.setString("spaces", QStringLiteral("  12 KB "));
        store.setString("comma", QStringLiteral("1,5"));
        store.setString("at", QStringLiteral("@Invalid()"));
        store.setString("unicode", QStringLiteral("größe \u00e9"));
    }
    const auto store = restart();
    EXPECT_EQ(store->integer("int"), -7);
    EXPECT_EQ(store->integer("intMax"), int64Max);
    EXPECT_EQ(store->integer("intMin"), int64Min);
    EXPECT_EQ(store->doubleValue("double"), 0.1);
    EXPECT_EQ(store->doubleValue("huge"), 1.5e300);
    EXPECT_EQ(store->doubleValue("negative"), -2.5);
    EXPECT_TRUE(store->boolean("yes"));
    EXPECT_FALSE(store->boolean("no"));
    EXPECT_TRUE(store->contains("no"));
    EXPECT_EQ(store->string("empty"), QString(""));
    EXPECT_EQ(store->string("spaces"), QStringLiteral("  12 KB "));
    EXPECT_EQ(store->string("comma"), QStringLiteral("1,5"));
    EXPECT_EQ(store->string("at"), QStringLiteral("@Invalid()"));
    EXPECT_EQ(store->string("unicode"), QStringLiteral("größe \u00e9"));
    // A value read through another key type: the stored text is coerced.
    EXPECT_EQ(store->string("int"), QStringLiteral("-7"));
    EXPECT_EQ(store->string("yes"), QStringLiteral("true"));
    EXPECT_EQ(store->integer("double"), 0);
    EXPECT_EQ(store->integer("negative"), -2);
    EXPECT_EQ(store->doubleValue("yes"), 0.0); // the text "true" is not a number
}

TEST_F(SettingsFile, AbsentKeysGiveTheDefaults) {
    writeFile("[General]\nother=1\nfilesize=@Invalid()\n");
    const auto store = open();
    for (const char *key : {"missing", "filesize"}) {
        SCOPED_TRACE(key);
        EXPECT_EQ(store->integer(key), 0);
        EXPECT_EQ(store->doubleValue(key), 0.0);
        EXPECT_FALSE(store->boolean(key));
        EXPECT_EQ(store->string(key), std::nullopt);
    }
    EXPECT_FALSE(store->contains("missing"));
}

TEST_F(SettingsFile, ASetterWritesTheFileAtOnce) {
    SettingsStore store(path);
    store.setString(settingKeys::filesize, QString());
    EXPECT_TRUE(fileText().contains("filesize="));
    store.setDouble(settingKeys::fontSize, 13.5);
    EXPECT_TRUE(fileText().contains("fontSize=13.5"));
    // The file alone, copied while the store is still open, holds the value.
    EXPECT_EQ(restart()->doubleValue(settingKeys::fontSize), 13.5);
}

TEST_F(SettingsFile, HandWrittenTextIsCoerced) {
    writeFile("[General]\n"
              "fontSize=abc\n"
              "popupSize=3.7\n"
              "popupContent=\" -2 \"\n"
              "filesize=1,5\n"
              "repeats=a,@Invalid()\n"
              "length=\n"
              "nocache=yes\n"
              "verbose=TRUE\n"
              "israndom=2\n"
              "noUpdateCheck=0\n"
              "updateCheckInt=nan\n"
              "dateLastUpdateCheck=1e400\n");
    const auto store = open();
    EXPECT_EQ(store->doubleValue(settingKeys::fontSize), 0.0);
    EXPECT_EQ(store->integer(settingKeys::popupSize), 3);
    EXPECT_EQ(store->integer(settingKeys::popupContent), -2);
    EXPECT_EQ(store->string(settingKeys::filesize), QStringLiteral("1,5"));
    EXPECT_EQ(store->integer(settingKeys::filesize), 0); // a list is never a number
    EXPECT_EQ(store->string(settingKeys::repeats), QStringLiteral("a,"));
    EXPECT_EQ(store->string(settingKeys::length), QString(""));
    EXPECT_FALSE(store->boolean(settingKeys::nocache));
    EXPECT_TRUE(store->boolean(settingKeys::verbose));
    EXPECT_TRUE(store->boolean(settingKeys::israndom));
    EXPECT_FALSE(store->boolean(settingKeys::noUpdateCheck));
    EXPECT_EQ(store->doubleValue(settingKeys::updateCheckInt), 0.0);
    EXPECT_EQ(store->doubleValue(settingKeys::dateLastUpdateCheck), 0.0);
}

// ---- coercion of single values --------------------------------------------------------------

TEST(SettingCoercion, IntegerFromText) {
    const struct {
        const char *text;
        qint64 expected;
    } cases[] = {
        {"42", 42},
        {" \t-42\n", -42},
        {"+5", 5},
        {"12.5", 12},
        {"-2.7", -2},
        {"1e3", 1000},
        {"0.99999999999999999999", 0},
        {"-0.99999999999999999999", 0},
        {"9007199254740993.9", 9007199254740993},
        {"9223372036854775807.9", int64Max},
        {"9223372036854775808.0", 0},
        {".5", 0},
        {"7.", 7},
        {"-", 0},
        {".", 0},
        {"-+5", 0},
        {"9223372036854775807", int64Max},
        {"-9223372036854775808", int64Min},
        {"9223372036854775808", 0},
        {"99999999999999999999", 0},
        {"1e19", 0},
        {"", 0},
        {"abc", 0},
        {"12abc", 0},
        {"0x10", 0},
        {"+-5", 0},
        {"1,000", 0},
        {"inf", 0},
        {"nan", 0},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(integerSetting(QVariant(QString::fromUtf8(c.text))), c.expected);
    }
}

TEST(SettingCoercion, IntegerFromTypedValues) {
    EXPECT_EQ(integerSetting(QVariant()), 0);
    EXPECT_EQ(integerSetting(QVariant(true)), 1);
    EXPECT_EQ(integerSetting(QVariant(int64Min)), int64Min);
    EXPECT_EQ(integerSetting(QVariant(std::numeric_limits<quint64>::max())), 0);
    EXPECT_EQ(integerSetting(QVariant(-3.99)), -3);
    EXPECT_EQ(integerSetting(QVariant(9.3e18)), 0);
    EXPECT_EQ(integerSetting(QVariant(std::nan(""))), 0);
    EXPECT_EQ(integerSetting(QVariant(QStringList{QStringLiteral("7")})), 7);
    EXPECT_EQ(integerSetting(QVariant(QVariantMap{{QStringLiteral("a"), 1}})), 0);
}

TEST(SettingCoercion, DoubleRejectsNonFiniteAndNonNumbers) {
    const struct {
        const char *text;
        double expected;
    } cases[] = {
        {"0.1", 0.1}, {" 72 ", 72.0}, {"-1.5e2", -150.0}, {"+4", 4.0}, {"1,5", 0.0},   {"nan", 0.0},
        {"inf", 0.0}, {"-inf", 0.0},  {"1e400", 0.0},     {"", 0.0},   {"4.0pt", 0.0},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(doubleSetting(QVariant(QString::fromUtf8(c.text))), c.expected);
    }
    EXPECT_EQ(doubleSetting(QVariant(std::numeric_limits<double>::infinity())), 0.0);
    EXPECT_EQ(doubleSetting(QVariant(std::nan(""))), 0.0);
    EXPECT_EQ(doubleSetting(QVariant(qint64{-3})), -3.0);
    EXPECT_EQ(doubleSetting(QVariant(false)), 0.0);
}

TEST(SettingCoercion, BooleanAcceptsWordsAndNumbers) {
    const struct {
        const char *text;
        bool expected;
    } cases[] = {
        {"true", true}, {"True", true},  {" FALSE ", false}, {"1", true},    {"0", false},
        {"2", true},    {"-0.0", false}, {"0.5", true},      {"yes", false}, {"on", false},
        {"", false},    {"nan", false},  {"truex", false},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(booleanSetting(QVariant(QString::fromUtf8(c.text))), c.expected);
    }
    EXPECT_FALSE(booleanSetting(QVariant()));
    EXPECT_TRUE(booleanSetting(QVariant(qint64{-1})));
    EXPECT_FALSE(booleanSetting(QVariant(0.0)));
    EXPECT_FALSE(booleanSetting(QVariant(std::nan(""))));
}

TEST(SettingCoercion, StringFromOtherTypes) {
    EXPECT_EQ(stringSetting(QVariant()), std::nullopt);
    EXPECT_EQ(stringSetting(QVariant(QString())), QString(""));
    EXPECT_EQ(stringSetting(QVariant(QStringList{QStringLiteral("1"), QStringLiteral(" 5")})),
              QStringLiteral("1, 5"));
    EXPECT_EQ(stringSetting(QVariant(
                  QVariantList{QStringLiteral("a"), QVariant(), QVariant(QVariantList{1, 2}), 3})),
              QStringLiteral("a,,,3"));
    EXPECT_EQ(stringSetting(QVariant(qint64{-12})), QStringLiteral("-12"));
    EXPECT_EQ(stringSetting(QVariant(0.1)), QStringLiteral("0.1"));
    EXPECT_EQ(stringSetting(QVariant(1e21)), QStringLiteral("1e+21"));
    EXPECT_EQ(stringSetting(QVariant(false)), QStringLiteral("false"));
    EXPECT_EQ(stringSetting(QVariant(QVariantMap{{QStringLiteral("a"), 1}})), std::nullopt);
}

// ---- the control panel and the font size ----------------------------------------------------

TEST_F(SettingsFile, AStoredIndexOutsideThePopUpKeepsTheCurrentSelection) {
    const struct {
        qint64 stored;
        int current;
        int expected;
    } cases[] = {
        {3, 0, 0}, {-1, 1, 1}, {int64Max, 1, 1}, {4294967296 + 1, 0, 0}, {2, 0, 2}, {0, 2, 0},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.stored);
        open()->setInteger(settingKeys::popupSize, c.stored);
        PanelSettings current;
        current.sizeIndex = c.current;
        EXPECT_EQ(restorePanel(*restart(), current, 3, 4).sizeIndex, c.expected);
    }

    PanelSettings current;
    current.contentIndex = 1;
    open()->setInteger(settingKeys::popupContent, 4);
    EXPECT_EQ(restorePanel(*restart(), current, 3, 4).contentIndex, 1);
    open()->setInteger(settingKeys::popupContent, 3);
    EXPECT_EQ(restorePanel(*restart(), current, 3, 4).contentIndex, 3);
}

TEST_F(SettingsFile, SavedPanelRestoresExactlyAfterReopening) {
    PanelSettings saved;
    saved.sizeIndex = 2;
    saved.contentIndex = 3;
    saved.filesize = "";
    saved.repeats = " 7x";
    saved.length = "1,5";
    saved.noCache = 1;
    saved.verbose = -1; // mixed
    saved.isRandom = 0;
    savePanel(*open(), saved);

    const auto store = restart();
    EXPECT_TRUE(store->contains(settingKeys::verbose));
    EXPECT_FALSE(store->boolean(settingKeys::verbose));

    const PanelSettings panel = restorePanel(*store, PanelSettings{}, 3, 4);
    EXPECT_EQ(panel.sizeIndex, 2);
    EXPECT_EQ(panel.contentIndex, 3);
    EXPECT_EQ(panel.filesize, ""); // not the default "1"
    EXPECT_EQ(panel.repeats, " 7x");
    EXPECT_EQ(panel.length, "1,5");
    EXPECT_EQ(panel.noCache, 1);
    EXPECT_EQ(panel.verbose, 0);
    EXPECT_EQ(panel.isRandom, 0);
}

TEST_F(SettingsFile, NoSelectionIsSavedAndLeavesTheSelectionOnRestore) {
    PanelSettings saved;
    saved.sizeIndex = -1;
    saved.contentIndex = -1;
    savePanel(*open(), saved);
    EXPECT_EQ(restart()->integer(settingKeys::popupSize), -1);

    PanelSettings current;
    current.sizeIndex = 1;
    current.contentIndex = 2;
    const PanelSettings panel = restorePanel(*restart(), current, 3, 4);
    EXPECT_EQ(panel.sizeIndex, 1);
    EXPECT_EQ(panel.contentIndex, 2);
}

TEST_F(SettingsFile, FontSizeBelowFourPointsGivesTwelve) {
    const struct {
        double stored;
        double expected;
    } cases[] = {{3.9, 12.0}, {4.0, 4.0}, {72.0, 72.0}, {1000.0, 1000.0}, {-20.0, 12.0}};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.stored);
        open()->setDouble(settingKeys::fontSize, c.stored);
        EXPECT_EQ(restoreFontSize(*restart()), c.expected);
    }
    writeFile("[General]\nfontSize=nan\n");
    EXPECT_EQ(restoreFontSize(*open()), 12.0);
    writeFile("[General]\nfontSize=abc\n");
    EXPECT_EQ(restoreFontSize(*open()), 12.0);
}

TEST(SettingsStoreLocation, TheUsersStoreIsAnIniFileNamedAfterTheProgram) {
    const SettingsStore store;
    EXPECT_TRUE(store.fileName().endsWith(QStringLiteral("/Quorlan/Quorlan.ini")))
        << store.fileName().toStdString();
}
