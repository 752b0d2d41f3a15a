#pragma once

#if defined(__APPLE__)

#include "sysinfo/MachineProbe.h"
#include "sysinfo/ProgramRunner.h"

namespace quorlan {

// The machine description's sources on macOS: the hardware report tool
// (/usr/sbin/system_profiler), the kernel value tool (/usr/sbin/sysctl -n), the properties of
// the IOKit platform device (IOPlatformExpertDevice, looked up anew for every property) and
// the system's version text. Every program run is bounded by ProgramRunner.
class MacProbe final : public MachineProbe {
public:
    QVariantMap readHardwareOverview() override;
    QString sysctlValue(const QString &name) override;
    QString registryDataProperty(const QString &name) override;
    QString registryStringProperty(const QString &name) override;
    // "Version 14.2.1 (Build 23C71)", as the system names itself in its own version text.
    QString operatingSystemVersion() override;

private:
    ProgramRunner runner_;
};

} // namespace quorlan

#endif
