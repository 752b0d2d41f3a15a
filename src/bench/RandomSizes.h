#pragma once

#include <cstdint>
#include <random>
#include <vector>

namespace quorlan {

inline constexpr std::int64_t smallestRandomSize = 20000;
inline constexpr std::int64_t largestRandomSize = 2000000000;

// The random source of the size lists: seeded from the system's random device, or with a fixed
// seed (and, so that a test need not hold gigabytes of test data, a smaller largest size) in
// tests.
class RandomSizes {
public:
    RandomSizes() : engine_(std::random_device{}()) {}
    explicit RandomSizes(std::uint64_t seed, std::int64_t largest = largestRandomSize)
        : engine_(seed), largest_(largest) {}

    // A whole number of bytes, uniform over the closed range 20,000 to 2,000,000,000 (or the
    // largest size given).
    std::int64_t randomSize();

    // Unbiased Fisher-Yates from the front: position i swaps with a uniform j in [i, last].
    void shuffleSizes(std::vector<std::int64_t> &sizes);

private:
    std::mt19937_64 engine_;
    std::int64_t largest_ = largestRandomSize;
};

} // namespace quorlan
