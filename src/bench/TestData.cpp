#include "bench/TestData.h"

namespace quorlan {

std::optional<std::span<const std::uint8_t>> TestData::bytes(std::int64_t size, std::uint8_t fill) {
    if (size < 0)
        return std::nullopt;
    if (size > buffer_.size() || fill != fill_) {
        buffer_ = TestBuffer(); // release first: never hold two buffers
        buffer_ = makeTestData(size, fill);
        fill_ = fill;
        if (!buffer_.valid()) {
            buffer_ = TestBuffer();
            return std::nullopt;
        }
    }
    return buffer_.bytes().first(static_cast<std::size_t>(size));
}

void TestData::release() {
    buffer_ = TestBuffer();
}

} // namespace quorlan
