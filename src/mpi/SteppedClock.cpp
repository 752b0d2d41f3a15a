#include "mpi/SteppedClock.h"

namespace quorlan {

std::uint64_t SteppedClock::monotonicTicks() {
    const std::uint64_t ticks = PosixSysCalls::monotonicTicks();
    if (!first_)
        first_ = ticks;
    last_ = ticks;
    return ticks;
}

void SteppedClock::beginStep() {
    first_.reset();
    last_.reset();
}

} // namespace quorlan
