#pragma once

#include <cstdint>
#include <random>
#include <vector>

namespace quorlan {

inline constexpr std::int64_t smallestRandomSize = 20000;
inline constexpr std::int64_t largestRandomSize = 2000000000;

// The random source of the size lists: seeded from the system's random device, or with a fixed
// seed in tests.
class RandomSizes {
public:
    RandomSizes() : engine_(std::random_device{}()) {}
    explicit RandomSizes(std::uint64_t seed) : engine_(seed) {}

    // A whole number of bytes, uniform over the closed range 20,000 to 2,000,000,000.
    std::int64_t randomSize();

    // Unbiased Fisher-Yates from the front: position i swaps with a uniform j in [i, last].
    void shuffleSizes(std::vector<std::int64_t> &sizes);

private:
    std::mt19937_64 engine_;
};

} // namespace quorlan
