#pragma once

#include <QByteArray>
#include <QString>
#include <QVariantMap>

namespace quorlan {

// What a registry property reads as when the platform device, the property or the right kind of
// value is missing.
inline const QString unknownValue = QStringLiteral("Unknown");

// The four sources of the machine description and the system's version text. A probe never
// fails: a source that has no answer gives its fallback (an empty overview, an empty kernel
// value, unknownValue).
class MachineProbe {
public:
    virtual ~MachineProbe() = default;

    // At most the keys "chip_type", "machine_name", "number_processors" and "physical_memory",
    // each only when the system knows it. Values are property-list values: text or otherwise.
    virtual QVariantMap readHardwareOverview() = 0;

    // A named kernel value ("machdep.cpu.brand_string", "hw.physicalcpu") as text trimmed of
    // white space at both ends; empty when the name is unknown.
    virtual QString sysctlValue(const QString &name) = 0;

    // A property of the platform device held as raw bytes, decoded as UTF-8 and not trimmed.
    virtual QString registryDataProperty(const QString &name) = 0;

    // A property of the platform device held as text, unchanged.
    virtual QString registryStringProperty(const QString &name) = 0;

    // The operating system's human-readable version text.
    virtual QString operatingSystemVersion() = 0;
};

// Bytes from outside (program output, raw properties) as text: invalid UTF-8 becomes U+FFFD
// replacement characters, so a value is never lost for its encoding. NUL bytes are kept.
QString decodedText(const QByteArray &bytes);

// A kernel value tool's output as sysctlValue returns it: decoded as by decodedText, then
// trimmed of Unicode white space and line ends at both ends.
QString kernelValueText(const QByteArray &output);

} // namespace quorlan
