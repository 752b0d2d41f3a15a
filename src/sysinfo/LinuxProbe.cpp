#include "sysinfo/LinuxProbe.h"

#include "sysinfo/CpuInfo.h"

#include <QDir>
#include <QFile>
#include <QSysInfo>

#include <charconv>

namespace quorlan {

namespace {

// Bounds for what is read from one kernel file: sysfs values are short, the processor table
// grows with the processor count.
constexpr qsizetype sysfsLimit = 64 * 1024;
constexpr qsizetype procLimit = 8 * 1024 * 1024;

QString dmiFile(const char *field) {
    return QStringLiteral("sys/class/dmi/id/") + QLatin1String(field);
}

QString orUnknown(const QString &value) {
    return value.isEmpty() ? unknownValue : value;
}

// The decimal number after "MemTotal:" in /proc/meminfo text (in KiB), or nothing.
std::optional<quint64> memTotal(const QByteArray &meminfo) {
    for (const QByteArray &line : meminfo.split('\n')) {
        if (!line.startsWith("MemTotal:"))
            continue;
        const QByteArray fields = line.mid(9).simplified();
        if (!fields.endsWith(" kB"))
            return std::nullopt;
        const QByteArray digits = fields.chopped(3);
        quint64 value = 0;
        const char *end = digits.constData() + digits.size();
        const auto [stop, error] = std::from_chars(digits.constData(), end, value);
        if (digits.isEmpty() || error != std::errc{} || stop != end)
            return std::nullopt;
        return value;
    }
    return std::nullopt;
}

quint64 roundedUp(quint64 value, quint64 step) {
    return value / step + (value % step != 0 ? 1 : 0);
}

} // namespace

LinuxProbe::LinuxProbe(QString root) : root_(std::move(root)) {}

std::optional<QByteArray> LinuxProbe::readFile(const QString &relativePath, qsizetype limit) const {
    QFile file(QDir(root_).filePath(relativePath));
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    // Kernel files report no size; read until the end or past the limit.
    QByteArray data;
    while (data.size() <= limit) {
        const QByteArray chunk = file.read(64 * 1024);
        if (chunk.isEmpty())
            break;
        data += chunk;
    }
    if (data.size() > limit || file.error() != QFileDevice::NoError)
        return std::nullopt;
    return data;
}

QString LinuxProbe::sysfsValue(const QString &relativePath) const {
    QByteArray value = readFile(relativePath, sysfsLimit).value_or(QByteArray());
    if (value.endsWith('\n'))
        value.chop(1);
    return decodedText(value);
}

QString LinuxProbe::deviceTreeModel() const {
    QByteArray model =
        readFile(QStringLiteral("proc/device-tree/model"), sysfsLimit).value_or(QByteArray());
    while (model.endsWith('\0'))
        model.chop(1);
    return decodedText(model);
}

QByteArray LinuxProbe::cpuInfoText() const {
    return readFile(QStringLiteral("proc/cpuinfo"), procLimit).value_or(QByteArray());
}

std::optional<QString> LinuxProbe::memoryText(quint64 kibibytes) {
    constexpr quint64 mebibyte = 1024;
    constexpr quint64 gibibyte = 1024 * 1024;
    if (kibibytes == 0)
        return std::nullopt;
    if (kibibytes > 512 * mebibyte)
        return QStringLiteral("%1 GB").arg(roundedUp(kibibytes, gibibyte));
    return QStringLiteral("%1 MB").arg(roundedUp(kibibytes, mebibyte));
}

std::optional<QString> LinuxProbe::physicalMemory() const {
    const std::optional<QByteArray> meminfo = readFile(QStringLiteral("proc/meminfo"), procLimit);
    const std::optional<quint64> total = meminfo ? memTotal(*meminfo) : std::nullopt;
    return total ? memoryText(*total) : std::nullopt;
}

std::optional<QString> LinuxProbe::chipType() const {
    const std::optional<QByteArray> compatible =
        readFile(QStringLiteral("proc/device-tree/compatible"), sysfsLimit);
    if (!compatible)
        return std::nullopt;
    const QList<QByteArray> entries = compatible->split('\0');
    for (auto entry = entries.rbegin(); entry != entries.rend(); ++entry) {
        if (!entry->isEmpty())
            return decodedText(*entry);
    }
    return std::nullopt;
}

QVariantMap LinuxProbe::readHardwareOverview() {
    QVariantMap overview;
    if (const std::optional<QString> chip = chipType())
        overview.insert(QStringLiteral("chip_type"), *chip);
    if (const QString family = sysfsValue(dmiFile("product_family")); !family.isEmpty())
        overview.insert(QStringLiteral("machine_name"), family);
    if (const int processors = CpuInfo(cpuInfoText()).logicalProcessors(); processors > 0)
        overview.insert(QStringLiteral("number_processors"), QString::number(processors));
    if (const std::optional<QString> memory = physicalMemory())
        overview.insert(QStringLiteral("physical_memory"), *memory);
    return overview;
}

QString LinuxProbe::sysctlValue(const QString &name) {
    if (name == u"machdep.cpu.brand_string")
        return CpuInfo(cpuInfoText()).brand();
    if (name == u"hw.physicalcpu") {
        const int cores = CpuInfo(cpuInfoText()).physicalCores();
        return cores > 0 ? QString::number(cores) : QString();
    }
    return {};
}

QString LinuxProbe::registryDataProperty(const QString &name) {
    if (name == u"model") {
        const QString product = sysfsValue(dmiFile("product_name"));
        return orUnknown(product.isEmpty() ? deviceTreeModel() : product);
    }
    if (name == u"version")
        return orUnknown(sysfsValue(dmiFile("product_version")));
    if (name == u"board-id")
        return orUnknown(sysfsValue(dmiFile("board_name")));
    return unknownValue;
}

QString LinuxProbe::registryStringProperty(const QString &name) {
    if (name == u"IOPlatformUUID")
        return orUnknown(sysfsValue(dmiFile("product_uuid")));
    return unknownValue;
}

QString LinuxProbe::operatingSystemVersion() {
    return QSysInfo::prettyProductName() + QStringLiteral(", kernel ") + QSysInfo::kernelVersion();
}

} // namespace quorlan
