#pragma once

#include "bench/SysCalls.h"

#include <cstdint>
#include <optional>

namespace quorlan {

// The real system calls, noting the first and the last reading of the monotonic clock since the
// step began: the timed primitives read it at the start and at the end of each timed span, and
// nothing else between two steps does.
class SteppedClock final : public PosixSysCalls {
public:
    std::uint64_t monotonicTicks() override;
    // A reading that is not noted, for the step's own bookkeeping.
    std::uint64_t unnotedTicks() { return PosixSysCalls::monotonicTicks(); }
    // Forgets the readings noted so far.
    void beginStep();

    std::optional<std::uint64_t> firstReading() const { return first_; }
    std::optional<std::uint64_t> lastReading() const { return last_; }

private:
    std::optional<std::uint64_t> first_;
    std::optional<std::uint64_t> last_;
};

} // namespace quorlan
