#pragma once

#include "sysinfo/MachineProbe.h"

#include <QByteArray>
#include <QString>

#include <optional>

namespace quorlan {

// The machine description's sources on Linux, read from files the kernel exposes under root
// (the real system at "/", a fixture tree in tests). No program is run.
//   registry data "model"      DMI product_name, else the device tree's model (trailing NULs
//                              dropped)
//   registry data "version"    DMI product_version
//   registry data "board-id"   DMI board_name
//   registry string "IOPlatformUUID"  DMI product_uuid (readable by root only)
//   any other name, or a file that is missing, unreadable or empty: "Unknown"
// One trailing line feed (the kernel's) is dropped from every sysfs value; nothing else is
// trimmed, so a value reads as the firmware wrote it.
//   kernel "machdep.cpu.brand_string"  CpuInfo::brand of /proc/cpuinfo
//   kernel "hw.physicalcpu"            CpuInfo::physicalCores; empty when there are none
//   any other kernel name: empty
//   overview "physical_memory"    MemTotal of /proc/meminfo as memoryText gives it
//   overview "number_processors"  logical processors in /proc/cpuinfo, as text
//   overview "machine_name"       DMI product_family
//   overview "chip_type"          the last entry of the device tree's compatible list (the SoC)
// An overview key whose source is missing or empty is left out.
class LinuxProbe final : public MachineProbe {
public:
    explicit LinuxProbe(QString root = QStringLiteral("/"));

    QVariantMap readHardwareOverview() override;
    QString sysctlValue(const QString &name) override;
    QString registryDataProperty(const QString &name) override;
    QString registryStringProperty(const QString &name) override;
    // The distribution's name (QSysInfo::prettyProductName) and the running kernel's release,
    // as in "Debian GNU/Linux 12 (bookworm), kernel 6.1.0-18-amd64". Always the running
    // system, whatever root is.
    QString operatingSystemVersion() override;

    // Memory the kernel manages, given in KiB, as installed memory is usually named: above
    // 512 MiB rounded up to whole GiB ("24 GB" for 24683784 KiB), otherwise rounded up to
    // whole MiB ("444 MB"). MemTotal lies a little below the installed size (firmware and
    // kernel reserve part of it), hence rounding up. Nothing for 0.
    static std::optional<QString> memoryText(quint64 kibibytes);

private:
    QString root_;

    std::optional<QByteArray> readFile(const QString &relativePath, qsizetype limit) const;
    // A sysfs value without the kernel's trailing line feed; empty when missing.
    QString sysfsValue(const QString &relativePath) const;
    QString deviceTreeModel() const;
    QByteArray cpuInfoText() const;
    std::optional<QString> physicalMemory() const;
    std::optional<QString> chipType() const;
};

} // namespace quorlan
