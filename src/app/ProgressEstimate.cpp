#include "app/ProgressEstimate.h"

#include <algorithm>

namespace quorlan {

std::optional<double> ProgressEstimate::fractionOfPass(const Progress &p) {
    if (p.passBytes > 0)
        return std::clamp(static_cast<double>(p.bytesBefore) / static_cast<double>(p.passBytes),
                          0.0, 1.0);
    if (p.files > 0)
        return std::clamp(static_cast<double>(p.file - 1) / static_cast<double>(p.files), 0.0, 1.0);
    // A folder walk: count the files of each pass; a pass ends when the next one starts.
    if (p.pass != walkPass_) {
        if (walkPass_ != 0)
            filesPerPass_ = std::max(filesPerPass_, filesSeenInPass_);
        walkPass_ = p.pass;
        filesSeenInPass_ = 0;
    }
    filesSeenInPass_ = std::max(filesSeenInPass_, p.file);
    if (filesPerPass_ <= 0)
        return std::nullopt;
    return std::clamp(static_cast<double>(p.file - 1) / static_cast<double>(filesPerPass_), 0.0,
                      1.0);
}

std::optional<double> ProgressEstimate::fractionDone(const Progress &p) {
    const std::optional<double> withinPass = fractionOfPass(p);
    const std::int64_t steps = p.passes + (hasWritePhase_ ? 1 : 0);
    if (!withinPass || steps <= 0)
        return std::nullopt;
    const std::int64_t step = hasWritePhase_ ? p.pass : p.pass - 1;
    if (step < 0 || step >= steps)
        return std::nullopt;
    return (static_cast<double>(step) + *withinPass) / static_cast<double>(steps);
}

std::optional<double> ProgressEstimate::secondsLeft(const Progress &p, double elapsedSeconds) {
    const std::optional<double> done = fractionDone(p);
    if (!done || *done < 0.01 || elapsedSeconds <= 0)
        return std::nullopt;
    return elapsedSeconds * (1.0 - *done) / *done;
}

} // namespace quorlan
