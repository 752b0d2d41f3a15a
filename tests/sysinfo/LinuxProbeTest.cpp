#include "sysinfo/LinuxProbe.h"
#include "sysinfo/MachineDescription.h"

#include "../support/TempFolder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <limits>
#include <unistd.h>

using namespace quorlan;
namespace fs = std::filesystem;

namespace {

// A fake root holding the kernel files the probe reads.
class FakeRoot {
public:
    FakeRoot() : root_(folder_.path()) {}

    void write(const std::string &relativePath, const std::string &bytes) const {
        const fs::path path = fs::path(root_) / relativePath;
        fs::create_directories(path.parent_path());
        std::ofstream(path, std::ios::binary) << bytes;
    }
    void writeDmi(const std::string &field, const std::string &value) const {
        write("sys/class/dmi/id/" + field, value + "\n");
    }
    std::string path(const std::string &relativePath) const { return root_ + "/" + relativePath; }

    LinuxProbe probe() const { return LinuxProbe(QString::fromStdString(root_)); }
    std::string description() const {
        LinuxProbe machine = probe();
        return describeMachine(machine).macType.toStdString();
    }

private:
    quorlan::testing::TempFolder folder_;
    std::string root_;
};

// x86 blocks with the given (physical id, core id) per logical processor.
std::string x86CpuInfo(const std::string &brand, const std::vector<std::pair<int, int>> &cores) {
    std::string text;
    for (std::size_t i = 0; i < cores.size(); ++i) {
        text += "processor\t: " + std::to_string(i) + "\nvendor_id\t: GenuineIntel\n";
        text += "model name\t: " + brand + "\nphysical id\t: " + std::to_string(cores[i].first) +
                "\nsiblings\t: 4\ncore id\t\t: " + std::to_string(cores[i].second) +
                "\ncpu cores\t: 2\nflags\t\t: fpu vme\n\n";
    }
    return text;
}

const std::string meminfo24GB = "MemTotal:       24683784 kB\nMemFree:        20000000 kB\n";

} // namespace

TEST(LinuxProbe, DescribesAMachineWithFullDmi) {
    FakeRoot root;
    root.writeDmi("product_name", "20XW0055GE");
    root.writeDmi("product_version", "ThinkPad X1 Carbon Gen 9");
    root.writeDmi("product_family", "ThinkPad X1 Carbon Gen 9");
    root.writeDmi("product_uuid", "4c4c4544-0042-3510-8052-b4c04f564433");
    root.writeDmi("board_name", "20XW0055GE ");
    // Two packages of two cores with two threads each: core ids repeat across packages.
    root.write("proc/cpuinfo",
               x86CpuInfo("Intel(R) Xeon(R) CPU E5-2620 v4 @ 2.10GHz ",
                          {{0, 0}, {0, 1}, {1, 0}, {1, 1}, {0, 0}, {0, 1}, {1, 0}, {1, 1}}));
    root.write("proc/meminfo", meminfo24GB);
    EXPECT_EQ(root.description(), "Mac model = 20XW0055GE\n"
                                  "Machine name = ThinkPad X1 Carbon Gen 9\n"
                                  "Version = ThinkPad X1 Carbon Gen 9\n"
                                  "Hardware UUID = 4c4c4544-0042-3510-8052-b4c04f564433\n"
                                  "CPU = Intel(R) Xeon(R) CPU E5-2620 v4 @ 2.10GHz, 4 cores\n"
                                  "Number of processors = 8\n"
                                  "Logic board ID = 20XW0055GE \n"
                                  "Physical memory = 24 GB\n");
}

TEST(LinuxProbe, DescribesAVirtualMachineWithoutDmi) {
    FakeRoot root;
    root.write("proc/cpuinfo", x86CpuInfo("AMD EPYC", {{0, 0}, {0, 1}}));
    root.write("proc/meminfo", meminfo24GB);
    EXPECT_EQ(root.description(), "Mac model = Unknown\n"
                                  "Version = Unknown\n"
                                  "Hardware UUID = Unknown\n"
                                  "CPU = AMD EPYC, 2 cores\n"
                                  "Number of processors = 2\n"
                                  "Logic board ID = Unknown\n"
                                  "Physical memory = 24 GB\n");
    // Nothing readable at all still gives the five lines.
    FakeRoot bare;
    EXPECT_EQ(bare.description(), "Mac model = Unknown\n"
                                  "Version = Unknown\n"
                                  "Hardware UUID = Unknown\n"
                                  "CPU = ,  cores\n"
                                  "Logic board ID = Unknown\n");
}

TEST(LinuxProbe, DescribesADeviceTreeBoard) {
    FakeRoot root;
    root.write("proc/device-tree/model", std::string("Raspberry Pi 4 Model B Rev 1.4\0\0", 32));
    root.write("proc/device-tree/compatible",
               std::string("raspberrypi,4-model-b\0brcm,bcm2711\0", 35));
    // An empty DMI name does not hide the device tree's model.
    root.writeDmi("product_name", "");
    std::string cpuinfo;
    for (int i = 0; i < 4; ++i)
        cpuinfo += "processor\t: " + std::to_string(i) +
                   "\nBogoMIPS\t: 108.00\nCPU implementer\t: 0x41\nCPU part\t: 0xd08\n\n";
    root.write("proc/cpuinfo", cpuinfo + "Hardware\t: BCM2835\nModel\t\t: Raspberry Pi 4\n");
    root.write("proc/meminfo", "MemTotal:        3884360 kB\n");
    EXPECT_EQ(root.description(), "Mac model = Raspberry Pi 4 Model B Rev 1.4\n"
                                  "Version = Unknown\n"
                                  "Hardware UUID = Unknown\n"
                                  "CPU = , 4 cores\n"
                                  "Chip type = brcm,bcm2711\n"
                                  "Number of processors = 4\n"
                                  "Logic board ID = Unknown\n"
                                  "Physical memory = 4 GB\n");
}

TEST(LinuxProbe, CpuBrandFallsBackByArchitecture) {
    FakeRoot root;
    // 32-bit ARM: "Processor" names the chip, "processor" numbers the cores.
    root.write("proc/cpuinfo", "Processor\t: ARMv7 Processor rev 10 (v7l)\nprocessor\t: 0\n"
                               "BogoMIPS\t: 790.52\n\nprocessor\t: 1\nBogoMIPS\t: 790.52\n\n"
                               "Hardware\t: Freescale i.MX6 Quad\n");
    LinuxProbe probe = root.probe();
    EXPECT_EQ(probe.sysctlValue("machdep.cpu.brand_string"), "ARMv7 Processor rev 10 (v7l)");
    EXPECT_EQ(probe.sysctlValue("hw.physicalcpu"), "2");
    EXPECT_EQ(probe.readHardwareOverview()["number_processors"], QVariant("2"));
    // "model name" wins over the other keys wherever it is; an empty value does not count.
    root.write("proc/cpuinfo", "cpu\t\t: POWER9 (raw), altivec supported\nprocessor\t: 0\n"
                               "model name\t:\n\nprocessor\t: 1\nmodel name\t: Loongson-3A5000\n");
    EXPECT_EQ(probe.sysctlValue("machdep.cpu.brand_string"), "Loongson-3A5000");
    root.write("proc/cpuinfo", "processor\t: 0\ncpu\t\t: POWER9 (raw), altivec supported\n");
    EXPECT_EQ(probe.sysctlValue("machdep.cpu.brand_string"), "POWER9 (raw), altivec supported");
    EXPECT_EQ(probe.sysctlValue("hw.memsize"), "");
}

TEST(LinuxProbe, RegistryValuesKeepTheirBytesAndKind) {
    FakeRoot root;
    root.write("sys/class/dmi/id/product_name", "  Caf\xe9 PC \n\n");
    root.writeDmi("product_version", "1.0");
    root.writeDmi("product_uuid", "4c4c4544-0042-3510-8052-b4c04f564433");
    LinuxProbe probe = root.probe();
    // Only the kernel's one trailing line feed goes; a bad byte becomes U+FFFD.
    EXPECT_EQ(probe.registryDataProperty("model"), QString::fromUtf8("  Caf\uFFFD PC \n"));
    // The UUID is text, the others raw bytes: asking for the other kind gives "Unknown".
    EXPECT_EQ(probe.registryStringProperty("IOPlatformUUID"),
              "4c4c4544-0042-3510-8052-b4c04f564433");
    EXPECT_EQ(probe.registryDataProperty("IOPlatformUUID"), "Unknown");
    EXPECT_EQ(probe.registryStringProperty("version"), "Unknown");
    EXPECT_EQ(probe.registryDataProperty("serial-number"), "Unknown");
    // A value too long for a sysfs file is not taken.
    root.write("sys/class/dmi/id/product_version", std::string(64 * 1024 + 1, 'v'));
    EXPECT_EQ(probe.registryDataProperty("version"), "Unknown");
}

TEST(LinuxProbe, UnreadableUuidIsUnknown) {
    FakeRoot root;
    fs::create_directories(root.path("sys/class/dmi/id/product_uuid"));
    EXPECT_EQ(root.probe().registryStringProperty("IOPlatformUUID"), "Unknown");
    if (geteuid() == 0)
        GTEST_SKIP() << "root reads a file of mode 0400 owned by anyone; checked a folder only";
    FakeRoot other;
    other.writeDmi("product_uuid", "4c4c4544-0042-3510-8052-b4c04f564433");
    fs::permissions(other.path("sys/class/dmi/id/product_uuid"), fs::perms::none);
    EXPECT_EQ(other.probe().registryStringProperty("IOPlatformUUID"), "Unknown");
}

TEST(LinuxProbe, MemoryIsRoundedUpToWholeGigabytes) {
    EXPECT_EQ(LinuxProbe::memoryText(24683784), "24 GB");
    EXPECT_EQ(LinuxProbe::memoryText(1048576), "1 GB");
    EXPECT_EQ(LinuxProbe::memoryText(1048577), "2 GB");
    EXPECT_EQ(LinuxProbe::memoryText(524289), "1 GB");
    EXPECT_EQ(LinuxProbe::memoryText(524288), "512 MB");
    EXPECT_EQ(LinuxProbe::memoryText(454000), "444 MB");
    EXPECT_EQ(LinuxProbe::memoryText(1), "1 MB");
    EXPECT_EQ(LinuxProbe::memoryText(0), std::nullopt);
    EXPECT_EQ(LinuxProbe::memoryText(std::numeric_limits<quint64>::max()), "17592186044416 GB");

    FakeRoot root;
    LinuxProbe probe = root.probe();
    for (const char *meminfo :
         {"MemTotal: 12 MB\n", "MemTotal:\n", "MemTotal: -5 kB\n",
          "MemTotal: 18446744073709551616 kB\n", "MemFree: 100 kB\n", "MemTotal:        0 kB\n"}) {
        root.write("proc/meminfo", meminfo);
        EXPECT_FALSE(probe.readHardwareOverview().contains("physical_memory")) << meminfo;
    }
    root.write("proc/meminfo", "MemFree: 100 kB\nMemTotal:\t2097152 kB\n");
    EXPECT_EQ(probe.readHardwareOverview(), QVariantMap({{"physical_memory", "2 GB"}}));
}
