#include "bench/Timebase.h"

#include "bench/SysCalls.h"

namespace quorlan {

void Timebase::readTimebase(SysCalls &calls) {
    calls.timebase(theNumerator, theDenominator);
}

double Timebase::ticksToSeconds(std::uint64_t ticks) const {
    if (theDenominator == 0)
        return 0.0;
    std::uint64_t product = 0;
    std::uint64_t nanoseconds = 0;
    if (!__builtin_mul_overflow(ticks, theNumerator, &product)) {
        nanoseconds = product / theDenominator;
    } else {
        const unsigned __int128 wide =
            static_cast<unsigned __int128>(ticks) * theNumerator / theDenominator;
        nanoseconds = wide > UINT64_MAX ? UINT64_MAX : static_cast<std::uint64_t>(wide);
    }
    return static_cast<double>(nanoseconds) * 1e-9;
}

} // namespace quorlan
