#include "sysinfo/MachineDescription.h"
#include "sysinfo/MachineProbe.h"

#include "../support/GoldenMatch.h"

#include <gtest/gtest.h>

#include <QStringList>

using namespace quorlan;

namespace {

// Answers from fixed values, by question ("overview", "sysctl NAME", "data NAME", "string NAME",
// "os"), and records every question in order.
class FakeProbe final : public MachineProbe {
public:
    QVariantMap answers;
    QStringList asked;

    QVariantMap readHardwareOverview() override { return answer("overview", {}).toMap(); }
    QString sysctlValue(const QString &name) override {
        return answer("sysctl " + name, "").toString();
    }
    QString registryDataProperty(const QString &name) override {
        return answer("data " + name, unknownValue).toString();
    }
    QString registryStringProperty(const QString &name) override {
        return answer("string " + name, unknownValue).toString();
    }
    QString operatingSystemVersion() override { return answer("os", "").toString(); }

private:
    QVariant answer(const QString &question, const QVariant &otherwise) {
        asked << question;
        return answers.value(question, otherwise);
    }
};

FakeProbe macBookPro() {
    FakeProbe probe;
    probe.answers = {{"overview", QVariantMap{{"chip_type", "Apple M2 Pro"},
                                              {"machine_name", "MacBook Pro"},
                                              {"number_processors", "proc 12:8:4"},
                                              {"physical_memory", "32 GB"}}},
                     {"sysctl machdep.cpu.brand_string", "Apple M2 Pro"},
                     {"sysctl hw.physicalcpu", "12"},
                     {"data model", "Mac14,10"},
                     {"data version", "1.0"},
                     {"data board-id", "Mac-27AD2F918AE68F61"},
                     {"string IOPlatformUUID", "6B1F0D2A-3C4E-4F5A-8B9C-0D1E2F3A4B5C"},
                     {"os", "Version 14.2.1 (Build 23C71)"}};
    return probe;
}

} // namespace

// The lines in their fixed order, each optional one only when the overview holds text for it
// (an empty text is still text), the values as the probe gives them; then the system version, and
// the questions in the order they were asked: the overview first, the kernel values brand first,
// the system version last.
TEST(DescribeMachine, DescriptionsMatchTheirSnapshots) {
    FakeProbe odd = macBookPro();
    odd.answers["overview"] = QVariantMap{{"chip_type", QByteArray("Apple M2 Pro")},
                                          {"machine_name", QVariantList{"MacBook Pro"}},
                                          {"number_processors", "8"},
                                          {"physical_memory", ""},
                                          {"cpu_type", "Quad-Core Intel Core i7"}};
    odd.answers["sysctl hw.physicalcpu"] = "";
    odd.answers["data model"] = decodedText(QByteArray("Mac\xe2\x84\xa2 14,10\xff", 13));
    odd.answers["data board-id"] = "  spaced  ";
    FakeProbe unknown;
    unknown.answers["overview"] = QVariantMap{{"number_processors", qint64(1)}};
    for (auto [snapshot, probe] : {std::pair{"machine-full.txt", macBookPro()},
                                   {"machine-nothing-known.txt", unknown},
                                   {"machine-odd-values.txt", odd}}) {
        const MachineDescription description = describeMachine(probe);
        EXPECT_TRUE(quorlan::testing::matchesSnapshot(
            (description.macType + "\n" + description.macOSVersion +
             "\n\nasked: " + probe.asked.join(", ") + "\n")
                .toStdString(),
            snapshot));
    }
}

// Unicode white space (ideographic, no-break, line and paragraph separators, next line) too.
TEST(OutsideText, KernelValuesAreTrimmedOfUnicodeWhiteSpace) {
    const std::pair<const char *, QString> cases[] = {
        {"   Apple M2 Pro\n", "Apple M2 Pro"},
        {"Intel(R)  Core(TM)\ti7 \r\n", "Intel(R)  Core(TM)\ti7"},
        {"\xe3\x80\x80\xc2\xa0\x38\xe2\x80\xa8\xe2\x80\xa9\xc2\x85\v\f", "8"},
        {" \n\t", ""},
        {"x\xff\n", QString::fromUtf8("x\uFFFD")}};
    for (const auto &[bytes, text] : cases)
        EXPECT_EQ(kernelValueText(bytes), text) << bytes;
}
