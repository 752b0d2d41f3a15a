#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>

namespace quorlan {

// A page-aligned byte buffer. Owns its memory; movable, not copyable.
class TestBuffer {
public:
    TestBuffer() = default;
    // Allocates size bytes of private memory aligned to at least 4096 (2 MiB from 2 MiB up);
    // valid() is false when the memory could not be had.
    explicit TestBuffer(std::int64_t size);

    // size bytes, every one equal to fill, made of one 2 MiB block of memory mapped again and
    // again over the whole length (Linux), with every page mapped before it is returned. Writing
    // through data() changes every block at once, so it serves only as the source of a write.
    // Invalid where the system cannot map it; makeTestData then falls back to private memory.
    static TestBuffer repeatedBlock(std::int64_t size, std::uint8_t fill);

    bool valid() const { return valid_; }
    std::int64_t size() const { return size_; }
    std::uint8_t *data() { return data_.get(); }
    std::span<const std::uint8_t> bytes() const {
        return {data_.get(), static_cast<std::size_t>(data_ ? size_ : 0)};
    }

private:
    // Unmaps mappedBytes from the pointer, or frees it when nothing was mapped.
    struct Release {
        std::size_t mappedBytes; // 0 (value-initialized) for private memory
        void operator()(std::uint8_t *p) const;
    };
    std::unique_ptr<std::uint8_t, Release> data_;
    std::int64_t size_ = 0;
    bool valid_ = true;
};

// size bytes, every one equal to fill, all pages touched before it is returned so no page fault
// lands inside a timed interval. From 2 MiB up the bytes come from a repeated block: the fill
// then costs the mapping of the pages, not the writing of every byte of memory, and the memory
// held stays at 2 MiB whatever the size. A size of 0 gives an empty buffer; an invalid buffer when
// the memory cannot be had (or the size is negative).
TestBuffer makeTestData(std::int64_t size, std::uint8_t fill);

// A buffer for reads: size bytes of private memory, zeroed, every page touched before it is
// returned. Never a repeated block: a read must land in pages of its own.
TestBuffer makeReadBuffer(std::int64_t size);

// The smallest buffer a read falls back to when the memory for a larger one cannot be had.
inline constexpr std::int64_t minReadBufferSize = 1024 * 1024;

// A read buffer (as makeReadBuffer) of size bytes or, when that memory cannot be had, of the
// first of size/2, size/4, ... that can, each rounded up to a multiple of 4096 and never below
// minReadBufferSize (nor above size). A size at or below the floor gets one attempt. Invalid when
// nothing could be had or size is not positive. The size the caller got is the buffer's size().
TestBuffer makeReadBufferUpTo(std::int64_t size);

} // namespace quorlan
