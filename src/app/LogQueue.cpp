#include "app/LogQueue.h"

namespace quorlan {

void LogQueue::appendToLog(const std::string &text) {
    const QString converted = QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
    std::lock_guard lock(mutex_);
    pending_ += converted;
}

QString LogQueue::take() {
    std::lock_guard lock(mutex_);
    QString taken;
    taken.swap(pending_);
    return taken;
}

} // namespace quorlan
