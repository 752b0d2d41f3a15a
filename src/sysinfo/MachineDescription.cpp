#include "sysinfo/MachineDescription.h"

#include "sysinfo/MachineProbe.h"

namespace quorlan {

namespace {

// label + the overview's value + "\n" when the overview holds text under key; nothing otherwise.
QString overviewLine(const QVariantMap &overview, const QString &key, const char *label) {
    const QVariant value = overview.value(key);
    if (value.typeId() != QMetaType::QString)
        return {};
    return QLatin1String(label) + value.toString() + u'\n';
}

QString cpuLine(MachineProbe &probe) {
    const QString brand = probe.sysctlValue(QStringLiteral("machdep.cpu.brand_string"));
    const QString cores = probe.sysctlValue(QStringLiteral("hw.physicalcpu"));
    return QStringLiteral("CPU = ") + brand + QStringLiteral(", ") + cores +
           QStringLiteral(" cores\n");
}

} // namespace

MachineDescription describeMachine(MachineProbe &probe) {
    const QVariantMap overview = probe.readHardwareOverview();
    QString text;
    text += QStringLiteral("Mac model = ") + probe.registryDataProperty(QStringLiteral("model")) +
            u'\n';
    text += overviewLine(overview, QStringLiteral("machine_name"), "Machine name = ");
    text += QStringLiteral("Version = ") + probe.registryDataProperty(QStringLiteral("version")) +
            u'\n';
    text += QStringLiteral("Hardware UUID = ") +
            probe.registryStringProperty(QStringLiteral("IOPlatformUUID")) + u'\n';
    text += cpuLine(probe);
    text += overviewLine(overview, QStringLiteral("chip_type"), "Chip type = ");
    text += overviewLine(overview, QStringLiteral("number_processors"), "Number of processors = ");
    text += QStringLiteral("Logic board ID = ") +
            probe.registryDataProperty(QStringLiteral("board-id")) + u'\n';
    text += overviewLine(overview, QStringLiteral("physical_memory"), "Physical memory = ");
    return {text, probe.operatingSystemVersion()};
}

} // namespace quorlan
