#pragma once

#include "bench/ProgressSink.h"

#include <optional>

namespace quorlan {

// Estimates how far a multi-file test has come and how long it still needs, from the progress
// reported as each file starts. A pass is measured in bytes where the sizes are known before the
// files are touched (writes), otherwise in files; a folder walk learns its file count in its
// first pass and uses it for the later ones.
class ProgressEstimate {
public:
    // hasWritePhase: the test writes once (pass 0) before its read passes (the mixed test).
    explicit ProgressEstimate(bool hasWritePhase = false) : hasWritePhase_(hasWritePhase) {}

    // Fraction of the whole run done when the file of progress starts, 0 to 1, or nullopt
    // while there is no way to know (the first pass of a folder walk).
    std::optional<double> fractionDone(const Progress &progress);

    // Seconds left after elapsed seconds, by the run's average pace so far; nullopt while less
    // than one percent is done or the fraction is unknown.
    std::optional<double> secondsLeft(const Progress &progress, double elapsedSeconds);

private:
    std::optional<double> fractionOfPass(const Progress &progress);

    bool hasWritePhase_;
    std::int64_t walkPass_ = 0;
    std::int64_t filesSeenInPass_ = 0;
    std::int64_t filesPerPass_ = 0; // learnt when a folder walk's pass ends; 0 = not yet
};

} // namespace quorlan
