#include "app/RunProgress.h"

namespace quorlan {

void RunProgress::fileStarted(const Progress &progress) {
    std::lock_guard lock(mutex_);
    latest_ = progress;
    changed_ = true;
}

void RunProgress::clear() {
    std::lock_guard lock(mutex_);
    latest_ = {};
    changed_ = false;
}

std::optional<Progress> RunProgress::takeChange() {
    std::lock_guard lock(mutex_);
    if (!changed_)
        return std::nullopt;
    changed_ = false;
    return latest_;
}

} // namespace quorlan
