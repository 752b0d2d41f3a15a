#include "sysinfo/CpuInfo.h"

#include "sysinfo/MachineProbe.h"

#include <QSet>

#include <algorithm>
#include <optional>

namespace quorlan {

namespace {

std::optional<QString> valueOf(const QList<std::pair<QString, QString>> &block, QLatin1String key) {
    for (const auto &[name, value] : block) {
        if (name == key)
            return value;
    }
    return std::nullopt;
}

} // namespace

CpuInfo::CpuInfo(const QByteArray &text) {
    Block block;
    for (const QByteArray &line : text.split('\n')) {
        const qsizetype colon = line.indexOf(':');
        if (colon >= 0) {
            block.append({decodedText(line.left(colon)).trimmed(),
                          decodedText(line.mid(colon + 1)).trimmed()});
        } else if (!block.isEmpty()) {
            blocks_.append(std::exchange(block, {}));
        }
    }
    if (!block.isEmpty())
        blocks_.append(block);
}

QString CpuInfo::brand() const {
    for (const char *key : {"model name", "Processor", "cpu model", "cpu", "uarch"}) {
        for (const Block &block : blocks_) {
            const std::optional<QString> value = valueOf(block, QLatin1String(key));
            if (value && !value->isEmpty())
                return *value;
        }
    }
    return {};
}

int CpuInfo::logicalProcessors() const {
    return static_cast<int>(std::count_if(blocks_.begin(), blocks_.end(), [](const Block &block) {
        return valueOf(block, QLatin1String("processor")).has_value();
    }));
}

int CpuInfo::physicalCores() const {
    QSet<QString> cores;
    for (const Block &block : blocks_) {
        const std::optional<QString> package = valueOf(block, QLatin1String("physical id"));
        const std::optional<QString> core = valueOf(block, QLatin1String("core id"));
        if (valueOf(block, QLatin1String("processor")) && package && core)
            cores.insert(*package + u'/' + *core);
    }
    return cores.isEmpty() ? logicalProcessors() : static_cast<int>(cores.size());
}

} // namespace quorlan
