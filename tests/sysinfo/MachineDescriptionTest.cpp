#include "sysinfo/MachineDescription.h"
#include "sysinfo/MachineProbe.h"

#include <gtest/gtest.h>

#include <QStringList>

using namespace quorlan;

namespace {

// Answers from fixed values and records every question in order.
class FakeProbe final : public MachineProbe {
public:
    QVariantMap overview;
    QMap<QString, QString> kernel;
    QMap<QString, QString> data;
    QMap<QString, QString> strings;
    QStringList asked;

    QVariantMap readHardwareOverview() override {
        asked << "overview";
        return overview;
    }
    QString sysctlValue(const QString &name) override {
        asked << "sysctl " + name;
        return kernel.value(name);
    }
    QString registryDataProperty(const QString &name) override {
        asked << "data " + name;
        return data.value(name, unknownValue);
    }
    QString registryStringProperty(const QString &name) override {
        asked << "string " + name;
        return strings.value(name, unknownValue);
    }
    QString operatingSystemVersion() override {
        asked << "os";
        return "Version 14.2.1 (Build 23C71)";
    }
};

FakeProbe macBookPro() {
    FakeProbe probe;
    probe.overview = {{"chip_type", "Apple M2 Pro"},
                      {"machine_name", "MacBook Pro"},
                      {"number_processors", "proc 12:8:4"},
                      {"physical_memory", "32 GB"}};
    probe.kernel = {{"machdep.cpu.brand_string", "Apple M2 Pro"}, {"hw.physicalcpu", "12"}};
    probe.data = {{"model", "Mac14,10"}, {"version", "1.0"}, {"board-id", "Mac-27AD2F918AE68F61"}};
    probe.strings = {{"IOPlatformUUID", "6B1F0D2A-3C4E-4F5A-8B9C-0D1E2F3A4B5C"}};
    return probe;
}

} // namespace

TEST(DescribeMachine, FullOverviewGivesNineLinesInTheirOrder) {
    FakeProbe probe = macBookPro();
    const MachineDescription description = describeMachine(probe);
    EXPECT_EQ(description.macType.toStdString(),
              "Mac model = Mac14,10\n"
              "Machine name = MacBook Pro\n"
              "Version = 1.0\n"
              "Hardware UUID = 6B1F0D2A-3C4E-4F5A-8B9C-0D1E2F3A4B5C\n"
              "CPU = Apple M2 Pro, 12 cores\n"
              "Chip type = Apple M2 Pro\n"
              "Number of processors = proc 12:8:4\n"
              "Logic board ID = Mac-27AD2F918AE68F61\n"
              "Physical memory = 32 GB\n");
    EXPECT_EQ(description.macOSVersion, "Version 14.2.1 (Build 23C71)");
    // The overview first, the kernel values brand first, the system version last.
    EXPECT_EQ(probe.asked, QStringList({"overview", "data model", "data version",
                                        "string IOPlatformUUID", "sysctl machdep.cpu.brand_string",
                                        "sysctl hw.physicalcpu", "data board-id", "os"}));
}

TEST(DescribeMachine, EmptyOverviewAndMissingValuesGiveFiveLines) {
    FakeProbe probe;
    EXPECT_EQ(describeMachine(probe).macType.toStdString(), "Mac model = Unknown\n"
                                                            "Version = Unknown\n"
                                                            "Hardware UUID = Unknown\n"
                                                            "CPU = ,  cores\n"
                                                            "Logic board ID = Unknown\n");
}

TEST(DescribeMachine, OverviewLinesNeedText) {
    FakeProbe probe = macBookPro();
    probe.overview = {{"chip_type", QByteArray("Apple M2 Pro")},
                      {"machine_name", QVariantList{"MacBook Pro"}},
                      {"number_processors", qint64(1)},
                      {"physical_memory", ""},
                      {"cpu_type", "Quad-Core Intel Core i7"}};
    // An empty text is still text.
    EXPECT_EQ(describeMachine(probe).macType.toStdString(),
              "Mac model = Mac14,10\n"
              "Version = 1.0\n"
              "Hardware UUID = 6B1F0D2A-3C4E-4F5A-8B9C-0D1E2F3A4B5C\n"
              "CPU = Apple M2 Pro, 12 cores\n"
              "Logic board ID = Mac-27AD2F918AE68F61\n"
              "Physical memory = \n");
    probe.overview = {{"number_processors", "8"}};
    EXPECT_NE(describeMachine(probe).macType.indexOf("\nNumber of processors = 8\nLogic board ID"),
              -1);
}

TEST(DescribeMachine, ValuesArePrintedAsTheProbeGivesThem) {
    FakeProbe probe = macBookPro();
    probe.kernel["hw.physicalcpu"] = "";
    probe.data["model"] = decodedText(QByteArray("Mac\xe2\x84\xa2 14,10\xff", 13));
    probe.data["board-id"] = "  spaced  ";
    const QString text = describeMachine(probe).macType;
    EXPECT_TRUE(text.startsWith(QString::fromUtf8("Mac model = Mac™ 14,10\uFFFD\nMachine name")))
        << text.toStdString();
    EXPECT_NE(text.indexOf("\nCPU = Apple M2 Pro,  cores\nChip type"), -1);
    EXPECT_NE(text.indexOf("\nLogic board ID =   spaced  \nPhysical"), -1);
}

TEST(OutsideText, DecodesInvalidUtf8WithReplacementCharacters) {
    EXPECT_EQ(decodedText(QByteArray("J-\x80\xc3(", 5)), QString::fromUtf8("J-\uFFFD\uFFFD("));
    // Every byte counts, NUL included; nothing is trimmed.
    EXPECT_EQ(decodedText(QByteArray(" MacBookPro18,3\0", 16)),
              QString(" MacBookPro18,3") + QChar(0));
    EXPECT_EQ(decodedText(QByteArray()), QString());
}

TEST(OutsideText, KernelValuesAreTrimmedOfUnicodeWhiteSpace) {
    EXPECT_EQ(kernelValueText("   Apple M2 Pro\n"), "Apple M2 Pro");
    EXPECT_EQ(kernelValueText("Intel(R)  Core(TM)\ti7 \r\n"), "Intel(R)  Core(TM)\ti7");
    // Ideographic space, no-break space, line and paragraph separators, next line.
    EXPECT_EQ(kernelValueText("\xe3\x80\x80\xc2\xa0"
                              "8\xe2\x80\xa8\xe2\x80\xa9\xc2\x85\v\f"),
              "8");
    EXPECT_EQ(kernelValueText(" \n\t"), "");
    EXPECT_EQ(kernelValueText("x\xff\n"), QString::fromUtf8("x\uFFFD"));
}
