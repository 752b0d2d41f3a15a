#pragma once

#include "analysis/ResultKind.h"

#include <cstdint>

namespace quorlan {

// One timed file operation: its kind, size in bytes, time in seconds and rate in bytes per
// second.
struct Result {
    ResultKind type;
    std::int64_t size;
    double time;
    double rate;
};

} // namespace quorlan
