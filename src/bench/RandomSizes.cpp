#include "bench/RandomSizes.h"

#include <utility>

namespace quorlan {

std::int64_t RandomSizes::randomSize() {
    std::uniform_int_distribution<std::int64_t> draw(smallestRandomSize, largest_);
    return draw(engine_);
}

void RandomSizes::shuffleSizes(std::vector<std::int64_t> &sizes) {
    if (sizes.size() < 2)
        return;
    for (std::size_t i = 0; i + 1 < sizes.size(); ++i) {
        std::uniform_int_distribution<std::size_t> draw(i, sizes.size() - 1);
        std::swap(sizes[i], sizes[draw(engine_)]);
    }
}

} // namespace quorlan
