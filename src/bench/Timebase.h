#pragma once

#include <cstdint>

namespace quorlan {

class SysCalls;

// Nanoseconds per tick as a fraction. Both are 0 until readTimebase has run; until then every
// conversion gives 0.0, so no primitive can report a time.
struct Timebase {
    std::uint64_t theNumerator = 0;
    std::uint64_t theDenominator = 0;

    void readTimebase(SysCalls &calls);

    // ticks × numerator in unsigned 64-bit, then integer division by the denominator (the
    // quotient is nanoseconds), then × 1e-9. A product that would overflow 64 bits is formed in
    // 128 bits instead of wrapping, so a very long interval never turns into a short one.
    double ticksToSeconds(std::uint64_t ticks) const;
};

} // namespace quorlan
