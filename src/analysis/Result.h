#pragma once

#include <cstdint>

namespace quorlan {

// One timed file operation. type: 0 = regular read, 1 = uncached read,
// 2 = write; size in bytes, time in seconds, rate in bytes per second.
struct Result {
    std::int64_t type;
    std::int64_t size;
    double time;
    double rate;
};

} // namespace quorlan
