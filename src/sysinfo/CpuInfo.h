#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

#include <utility>

namespace quorlan {

// The kernel's processor table (/proc/cpuinfo): blocks of "key : value" lines separated by
// empty lines, one block per logical processor plus, on some architectures, blocks describing
// the whole machine. Keys are compared exactly ("Processor" is not "processor").
class CpuInfo {
public:
    explicit CpuInfo(const QByteArray &text);

    // The processor's marketing name: the first "model name" of the table, else the first
    // "Processor", "cpu model", "cpu" or "uarch" (architectures without "model name"); empty
    // when the table has none of them.
    QString brand() const;

    // Blocks with a "processor" entry: the logical processors the kernel brought up.
    int logicalProcessors() const;

    // Distinct ("physical id", "core id") pairs among the logical processors; where the table
    // has no such pair, the logical processor count.
    int physicalCores() const;

private:
    using Block = QList<std::pair<QString, QString>>;
    QList<Block> blocks_;
};

} // namespace quorlan
