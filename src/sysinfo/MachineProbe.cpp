#include "sysinfo/MachineProbe.h"

namespace quorlan {

QString decodedText(const QByteArray &bytes) {
    return QString::fromUtf8(bytes);
}

QString kernelValueText(const QByteArray &output) {
    return decodedText(output).trimmed();
}

} // namespace quorlan
