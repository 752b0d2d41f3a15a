#pragma once

#include <cstdint>
#include <limits>

namespace quorlan {

// a + b, held at the end of the int64 range instead of wrapping around.
inline std::int64_t saturatingAdd(std::int64_t a, std::int64_t b) {
    std::int64_t sum = 0;
    if (__builtin_add_overflow(a, b, &sum))
        return b < 0 ? std::numeric_limits<std::int64_t>::min()
                     : std::numeric_limits<std::int64_t>::max();
    return sum;
}

// a × b for counts that are not negative, at most the largest int64.
inline std::int64_t saturatingMultiply(std::int64_t a, std::int64_t b) {
    std::int64_t product = 0;
    if (__builtin_mul_overflow(a, b, &product))
        return std::numeric_limits<std::int64_t>::max();
    return product;
}

} // namespace quorlan
