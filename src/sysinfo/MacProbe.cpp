#if defined(__APPLE__)

#include "sysinfo/MacProbe.h"

#include "sysinfo/HardwareOverview.h"

#include <QSysInfo>

#include <CoreFoundation/CoreFoundation.h>
#include <IOKit/IOKitLib.h>
#include <sys/sysctl.h>

namespace quorlan {

namespace {

// The platform device's property, owned by the caller (CFRelease), or null when the device or
// the property is missing.
CFTypeRef platformProperty(const QString &name) {
    // MACH_PORT_NULL selects the default main port on every macOS version.
    const io_service_t device =
        IOServiceGetMatchingService(MACH_PORT_NULL, IOServiceMatching("IOPlatformExpertDevice"));
    if (device == IO_OBJECT_NULL)
        return nullptr;
    const CFStringRef key = name.toCFString();
    const CFTypeRef value = IORegistryEntryCreateCFProperty(device, key, kCFAllocatorDefault, 0);
    CFRelease(key);
    IOObjectRelease(device);
    return value;
}

// The system's build code (for example 23C71), or empty.
QString buildCode() {
    char text[64] = {};
    size_t size = sizeof text - 1;
    if (sysctlbyname("kern.osversion", text, &size, nullptr, 0) != 0)
        return {};
    return QString::fromUtf8(text);
}

} // namespace

QVariantMap MacProbe::readHardwareOverview() {
    return hardwareOverviewFromPropertyList(
        runner_.run(QStringLiteral("/usr/sbin/system_profiler"),
                    {QStringLiteral("-xml"), QStringLiteral("-detailLevel"),
                     QStringLiteral("basic"), QStringLiteral("SPHardwareDataType")}));
}

QString MacProbe::sysctlValue(const QString &name) {
    return kernelValueText(
        runner_.run(QStringLiteral("/usr/sbin/sysctl"), {QStringLiteral("-n"), name}));
}

QString MacProbe::registryDataProperty(const QString &name) {
    const CFTypeRef value = platformProperty(name);
    QString text = unknownValue;
    if (value && CFGetTypeID(value) == CFDataGetTypeID())
        text = decodedText(QByteArray::fromRawCFData(static_cast<CFDataRef>(value)));
    if (value)
        CFRelease(value);
    return text;
}

QString MacProbe::registryStringProperty(const QString &name) {
    const CFTypeRef value = platformProperty(name);
    QString text = unknownValue;
    if (value && CFGetTypeID(value) == CFStringGetTypeID())
        text = QString::fromCFString(static_cast<CFStringRef>(value));
    if (value)
        CFRelease(value);
    return text;
}

QString MacProbe::operatingSystemVersion() {
    const QString build = buildCode();
    QString text = QStringLiteral("Version ") + QSysInfo::productVersion();
    if (!build.isEmpty())
        text += QStringLiteral(" (Build ") + build + u')';
    return text;
}

} // namespace quorlan

#endif
