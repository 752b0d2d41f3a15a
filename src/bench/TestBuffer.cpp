#include "bench/TestBuffer.h"

#include <cstdlib>
#include <cstring>

namespace quorlan {

namespace {
constexpr std::size_t pageSize = 4096;
}

void TestBuffer::Free::operator()(std::uint8_t *p) const {
    std::free(p);
}

TestBuffer::TestBuffer(std::int64_t size) {
    if (size < 0)
        valid_ = false;
    if (size <= 0)
        return;
    valid_ = false;
    const auto bytes = static_cast<std::size_t>(size);
    const std::size_t rounded = (bytes + pageSize - 1) / pageSize * pageSize;
    if (rounded < bytes)
        return;
    data_.reset(static_cast<std::uint8_t *>(std::aligned_alloc(pageSize, rounded)));
    if (data_) {
        size_ = size;
        valid_ = true;
    }
}

TestBuffer makeTestData(std::int64_t size, std::uint8_t fill) {
    TestBuffer buffer(size);
    if (buffer.valid() && size > 0)
        std::memset(buffer.data(), fill, static_cast<std::size_t>(size));
    return buffer;
}

} // namespace quorlan
