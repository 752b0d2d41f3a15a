#include "SettingCoercionChecks.h"
#include "SettingsFile.h"

#include <QDir>
#include <QFile>
#include <QSettings>

#include <gtest/gtest.h>

#include <bit>

using namespace quorlan;
using namespace quorlan::fuzzing;
using namespace quorlan::testing;

namespace {

QList<QByteArray> corpusInputs() {
    const QDir folder(QStringLiteral(QUORLAN_FUZZ_CORPUS "/setting-coercion"));
    QList<QByteArray> inputs;
    for (const QString &name : folder.entryList(QDir::Files, QDir::Name)) {
        QFile file(folder.filePath(name));
        inputs.append(file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray());
    }
    return inputs;
}

std::string_view viewOf(const QByteArray &bytes) {
    return {bytes.constData(), static_cast<std::size_t>(bytes.size())};
}

// Whether text survives UTF-8, the encoding of the settings file (lone surrogates do not).
bool isWellFormed(const QString &text) {
    return QString::fromUtf8(text.toUtf8()) == text;
}

} // namespace

// Every file of the setting-coercion corpus decodes into a value whose four readings keep the
// fuzzer's invariants.
TEST(SettingCoercionCorpus, EveryInputKeepsTheCoercionContracts) {
    const QList<QByteArray> inputs = corpusInputs();
    for (qsizetype i = 0; i < inputs.size(); ++i)
        EXPECT_EQ(settingCoercionViolation(viewOf(inputs[i])), "") << "input " << i;
    EXPECT_GE(inputs.size(), 10);
}

// The readings of every corpus value, stored and read back after a restart (as text from the
// INI file), are the same readings; and the value's text typed into the file by hand reads with
// the same invariants, in whatever shape the INI reader hands it back (text, list, invalid).
// The fuzzer leaves this out: a settings file per input would cost file I/O on every run, and
// QSettings caches files by name, so one reused file would not be read afresh.
TEST_F(SettingsFile, EveryCorpusValueSurvivesARestartAndAHandWrittenFile) {
    const QList<QByteArray> inputs = corpusInputs();
    for (qsizetype i = 0; i < inputs.size(); ++i) {
        const QVariant value = decodeSetting(viewOf(inputs[i]));
        const qint64 integer = integerSetting(value);
        const double real = doubleSetting(value);
        const bool boolean = booleanSetting(value);
        const std::optional<QString> text = stringSetting(value);

        path = freshPath();
        {
            const auto store = open();
            store->setInteger("integer", integer);
            store->setDouble("real", real);
            store->setBoolean("boolean", boolean);
            if (text)
                store->setString("text", *text);
        }
        const auto reopened = restart();
        EXPECT_EQ(reopened->integer("integer"), integer) << "input " << i;
        EXPECT_EQ(std::bit_cast<quint64>(reopened->doubleValue("real")),
                  std::bit_cast<quint64>(real))
            << "input " << i;
        EXPECT_EQ(reopened->boolean("boolean"), boolean) << "input " << i;
        if (text && isWellFormed(*text)) {
            EXPECT_EQ(reopened->string("text"), text) << "input " << i;
        }

        path = freshPath();
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("[General]\nvalue=" + (text ? text->toUtf8() : inputs[i]) + "\n");
        file.close();
        const QSettings handWritten(path, QSettings::IniFormat);
        EXPECT_EQ(settingCoercionViolation(handWritten.value("value")), "") << "input " << i;
    }
    EXPECT_GE(inputs.size(), 10);
}
