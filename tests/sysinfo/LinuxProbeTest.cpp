#include "sysinfo/LinuxProbe.h"
#include "sysinfo/MachineDescription.h"

#include "../support/GoldenMatch.h"
#include "../support/TempFolder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <limits>

using namespace quorlan;
using namespace quorlan::testing;

// Each folder of tests/fixtures/linux-roots holds the kernel files of one kind of machine: its
// description, and the overview, brand and core count it comes from, match NAME.txt beside it.
//   full-dmi          two packages of two cores with two threads each (core ids repeat across
//                     packages), every DMI value, a board name ending in a space
//   virtual-machine   no DMI at all
//   device-tree       an empty DMI name, the device tree's model with trailing NULs, its chip
//   arm32             "Processor" names the chip, "processor" numbers the cores
//   power-model-name  "model name" wins over "cpu" wherever it is; an empty one does not count
//   power             "cpu" names the chip, its value right after the colon
//   odd-values        a Latin-1 byte and two line feeds in the model (only the kernel's one
//                     goes), a version too long for a sysfs file, a folder for the board name
//   memory-*          a MemTotal that is not a count of kB above zero: no memory line
//   none              no root at all: the five lines all the same
TEST(LinuxProbe, DescriptionsOfFixtureRootsMatchTheirSnapshots) {
    for (const char *name :
         {"full-dmi", "virtual-machine", "device-tree", "arm32", "power-model-name", "power",
          "odd-values", "memory-in-mb", "memory-without-figure", "memory-beyond-64-bits",
          "memory-without-total", "memory-zero", "none"}) {
        SCOPED_TRACE(name);
        const std::string root = fixturePath("linux-roots/") + name;
        LinuxProbe probe(QString::fromStdString(root));
        const QVariantMap overview = probe.readHardwareOverview();
        std::string text = describeMachine(probe).macType.toStdString() + "overview:";
        for (auto it = overview.cbegin(); it != overview.cend(); ++it)
            text += " " + it.key().toStdString() + "=" + it.value().toString().toStdString();
        EXPECT_TRUE(matchesSnapshot(text + "\n", "linux-roots/" + std::string(name) + ".txt"));
    }
    LinuxProbe probe(QString::fromStdString(fixturePath("linux-roots/full-dmi")));
    EXPECT_EQ(probe.sysctlValue("hw.memsize"), "");
    EXPECT_EQ(probe.registryStringProperty("version"), "Unknown"); // data, not a string
    EXPECT_EQ(probe.registryDataProperty("IOPlatformUUID"), "Unknown");
    EXPECT_EQ(probe.registryDataProperty("serial-number"), "Unknown");
}

// The processor table is read up to 8 MiB; one byte longer, it is not taken at all. It begins
// with 22 bytes, then one long line of flags.
TEST(LinuxProbe, AProcessorTableAboveItsBoundIsNotRead) {
    const TempFolder root;
    std::filesystem::create_directory(root.path() + "/proc");
    LinuxProbe probe(QString::fromStdString(root.path()));
    for (const auto &[padding, brand] : {std::pair{(8 << 20) - 22, "X"}, {(8 << 20) - 21, ""}}) {
        std::ofstream(root.path() + "/proc/cpuinfo")
            << "model name\t: X\nflags: " << std::string(padding, 'x');
        EXPECT_EQ(probe.sysctlValue("machdep.cpu.brand_string"), brand) << padding;
    }
}

// Above 512 MiB rounded up to whole GiB, otherwise to whole MiB.
TEST(LinuxProbe, MemoryIsRoundedUpToWholeUnits) {
    const std::pair<quint64, std::optional<QString>> cases[] = {
        {24683784, "24 GB"},
        {1048576, "1 GB"},
        {1048577, "2 GB"},
        {524289, "1 GB"},
        {524288, "512 MB"},
        {454000, "444 MB"},
        {1, "1 MB"},
        {0, std::nullopt},
        {std::numeric_limits<quint64>::max(), "17592186044416 GB"}};
    for (const auto &[kibibytes, text] : cases)
        EXPECT_EQ(LinuxProbe::memoryText(kibibytes), text) << kibibytes;
}
