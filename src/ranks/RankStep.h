#pragma once

#include "analysis/Result.h"
#include "bench/CacheMode.h"

#include <cstdint>
#include <optional>

namespace quorlan {

// What one rank of a coordinated test did at one step (one file that every rank starts together).
// Times are seconds. start and end bound the rank's timed span of the step (its first and last
// reading of the monotonic clock in it), counted from the moment the rank left the step's
// barrier, so that ranks on different hosts need no common clock; monotonicStart and
// monotonicEnd are the same readings on the rank's own monotonic clock, comparable only between
// ranks of one host.
struct RankStep {
    std::int64_t step = 0;        // from 1, over the whole test: a mixed test's writes, then reads
    std::optional<Result> result; // the measurement the step gave; none when it failed or was
                                  // too small for the run's report
    CacheMode cache = CacheMode::None; // how that measurement met the cache
    std::optional<double> start;       // none when the step read no clock (nothing was timed)
    std::optional<double> end;
    std::optional<double> monotonicStart;
    std::optional<double> monotonicEnd;
};

} // namespace quorlan
