#include "bench/TestBuffer.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#if defined(__linux__)
#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>
#endif

namespace quorlan {

namespace {
constexpr std::size_t pageSize = 4096;
constexpr std::size_t hugePageSize = 2 * 1024 * 1024;
constexpr std::size_t repeatedBlockSize = hugePageSize;

// Large buffers sit on huge-page boundaries and ask for huge pages, so touching them costs one
// fault per 2 MiB instead of one per 4 KiB. Only a hint; the buffer works the same without it.
std::size_t alignmentFor(std::size_t bytes) {
    return bytes >= hugePageSize ? hugePageSize : pageSize;
}

void adviseHugePages([[maybe_unused]] void *data, [[maybe_unused]] std::size_t bytes) {
#if defined(__linux__) && defined(MADV_HUGEPAGE)
    if (bytes >= hugePageSize)
        ::madvise(data, bytes, MADV_HUGEPAGE);
#endif
}

// bytes rounded up to a multiple of unit; 0 when that overflows.
std::size_t roundedUp(std::size_t bytes, std::size_t unit) {
    const std::size_t rounded = (bytes + unit - 1) / unit * unit;
    return rounded < bytes ? 0 : rounded;
}

#if defined(__linux__)
// Maps one block of an anonymous memory file at every block boundary of a reserved range of
// length bytes (a multiple of the block size). Returns the range, or nullptr with nothing left
// mapped.
std::uint8_t *mapRepeatedBlock(std::size_t length, std::uint8_t fill) {
    const int block = ::memfd_create("quorlan-test-data", MFD_CLOEXEC);
    if (block < 0)
        return nullptr;
    void *range = MAP_FAILED;
    // fallocate gives the block its pages now, or fails here: a page of a memory file that
    // cannot be had when it is first touched would end the program with SIGBUS instead.
    if (::fallocate(block, 0, 0, static_cast<off_t>(repeatedBlockSize)) == 0)
        range =
            ::mmap(nullptr, length, PROT_NONE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
    bool mapped = range != MAP_FAILED;
    auto *base = static_cast<std::uint8_t *>(range);
    for (std::size_t offset = 0; mapped && offset < length; offset += repeatedBlockSize)
        mapped = ::mmap(base + offset, repeatedBlockSize, PROT_READ | PROT_WRITE,
                        MAP_SHARED | MAP_FIXED | MAP_POPULATE, block, 0) != MAP_FAILED;
    ::close(block); // the mappings keep the block alive
    if (!mapped) {
        if (range != MAP_FAILED)
            ::munmap(range, length);
        return nullptr;
    }
    std::memset(base, fill, repeatedBlockSize);
    return base;
}
#endif
} // namespace

void TestBuffer::Release::operator()(std::uint8_t *p) const {
#if defined(__linux__)
    if (mappedBytes > 0) {
        ::munmap(p, mappedBytes);
        return;
    }
#endif
    std::free(p);
}

TestBuffer::TestBuffer(std::int64_t size) {
    if (size < 0)
        valid_ = false;
    if (size <= 0)
        return;
    valid_ = false;
    const auto bytes = static_cast<std::size_t>(size);
    const std::size_t alignment = alignmentFor(bytes);
    const std::size_t rounded = roundedUp(bytes, alignment);
    if (rounded == 0)
        return;
    data_.reset(static_cast<std::uint8_t *>(std::aligned_alloc(alignment, rounded)));
    if (data_) {
        adviseHugePages(data_.get(), rounded);
        size_ = size;
        valid_ = true;
    }
}

TestBuffer TestBuffer::repeatedBlock([[maybe_unused]] std::int64_t size,
                                     [[maybe_unused]] std::uint8_t fill) {
    TestBuffer buffer;
    buffer.valid_ = false;
#if defined(__linux__)
    if (size <= 0)
        return buffer;
    const std::size_t length = roundedUp(static_cast<std::size_t>(size), repeatedBlockSize);
    if (length == 0)
        return buffer;
    if (std::uint8_t *base = mapRepeatedBlock(length, fill)) {
        buffer.data_ = std::unique_ptr<std::uint8_t, Release>(base, Release{length});
        buffer.size_ = size;
        buffer.valid_ = true;
    }
#endif
    return buffer;
}

TestBuffer makeTestData(std::int64_t size, std::uint8_t fill) {
    if (size >= static_cast<std::int64_t>(repeatedBlockSize)) {
        TestBuffer repeated = TestBuffer::repeatedBlock(size, fill);
        if (repeated.valid())
            return repeated;
    }
    TestBuffer buffer(size);
    if (buffer.valid() && size > 0)
        std::memset(buffer.data(), fill, static_cast<std::size_t>(size));
    return buffer;
}

TestBuffer makeReadBuffer(std::int64_t size) {
    TestBuffer buffer(size);
    if (buffer.valid() && size > 0)
        std::memset(buffer.data(), 0, static_cast<std::size_t>(size));
    return buffer;
}

TestBuffer makeReadBufferUpTo(std::int64_t size) {
    if (size <= 0)
        return TestBuffer(-1);
    constexpr std::int64_t page = static_cast<std::int64_t>(pageSize);
    for (std::int64_t attempt = size;;) {
        TestBuffer buffer = makeReadBuffer(attempt);
        if (buffer.valid() || attempt <= minReadBufferSize)
            return buffer;
        const std::int64_t half = (attempt / 2 + page - 1) / page * page;
        attempt = std::max(half, minReadBufferSize);
    }
}

} // namespace quorlan
