#include "bench/TestBuffer.h"

#include <algorithm>
#include <cstring>

#include <sys/mman.h>

namespace quorlan {

namespace {

constexpr std::size_t granule = static_cast<std::size_t>(bufferGranule);
constexpr std::size_t pageSize = 4096;

// bytes rounded up to a multiple of unit; 0 when that overflows.
std::size_t roundedUp(std::size_t bytes, std::size_t unit) {
    const std::size_t rounded = (bytes + unit - 1) / unit * unit;
    return rounded < bytes ? 0 : rounded;
}

// length bytes (a multiple of the granule) of private anonymous memory starting on a granule
// boundary, advised for huge pages before any page of it is touched (the advice only shapes the
// pages that later faults bring in). nullptr with nothing left mapped when it cannot be had.
std::uint8_t *mapAligned(std::size_t length) {
    const std::size_t reserved = length + granule - pageSize;
    if (reserved < length)
        return nullptr;
    void *range =
        ::mmap(nullptr, reserved, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (range == MAP_FAILED)
        return nullptr;
    auto *base = static_cast<std::uint8_t *>(range);
    const auto address = reinterpret_cast<std::uintptr_t>(base);
    const std::size_t head = roundedUp(address, granule) - address;
    if (head > 0)
        ::munmap(base, head);
    if (reserved - head > length)
        ::munmap(base + head + length, reserved - head - length);
#if defined(MADV_HUGEPAGE)
    ::madvise(base + head, length, MADV_HUGEPAGE); // a hint: without huge pages all is the same
#endif
    return base + head;
}

} // namespace

void TestBuffer::Unmap::operator()(std::uint8_t *p) const {
    ::munmap(p, length);
}

TestBuffer::TestBuffer(std::int64_t size, std::uint8_t fill) {
    if (size < 0)
        valid_ = false;
    if (size <= 0)
        return;
    const std::size_t length = roundedUp(static_cast<std::size_t>(size), granule);
    std::uint8_t *base = length == 0 ? nullptr : mapAligned(length);
    if (base == nullptr) {
        valid_ = false;
        return;
    }
    data_ = std::unique_ptr<std::uint8_t, Unmap>(base, Unmap{length});
    // Writing every byte is what brings every page in: it happens here, never in a timed call.
    std::memset(base, fill, static_cast<std::size_t>(size));
    size_ = size;
}

void touchForReading(std::span<const std::uint8_t> bytes) {
    const volatile std::uint8_t *p = bytes.data();
    std::uint8_t sink = 0;
    for (std::size_t i = 0; i < bytes.size(); i += pageSize)
        sink ^= p[i];
    [[maybe_unused]] volatile std::uint8_t kept = sink;
}

void touchForWriting(std::span<std::uint8_t> bytes) {
    volatile std::uint8_t *p = bytes.data();
    for (std::size_t i = 0; i < bytes.size(); i += pageSize)
        p[i] = p[i];
}

TestBuffer makeTestData(std::int64_t size, std::uint8_t fill) {
    return TestBuffer(size, fill);
}

TestBuffer makeReadBuffer(std::int64_t size) {
    return TestBuffer(size, 0);
}

TestBuffer makeReadBufferUpTo(std::int64_t size) {
    if (size <= 0)
        return TestBuffer(-1, 0);
    for (std::int64_t attempt = size;;) {
        TestBuffer buffer = makeReadBuffer(attempt);
        if (buffer.valid() || attempt <= minReadBufferSize)
            return buffer;
        const std::int64_t half = (attempt / 2 + bufferGranule - 1) / bufferGranule * bufferGranule;
        attempt = std::max(half, minReadBufferSize);
    }
}

} // namespace quorlan
