#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>

namespace quorlan {

// The unit of every test buffer: buffers start on a multiple of it and take whole multiples of
// it, whatever the size asked for.
inline constexpr std::int64_t bufferGranule = 2 * 1024 * 1024;

// The memory of the timed primitives: the write source and the read destination. One policy for
// every size, so that no step in rate appears between two sizes a page apart: private anonymous
// memory (never a mapping of a file or of a shared block, which the kernel copies from more
// slowly), aligned to bufferGranule, its length rounded up to a multiple of it, advised for huge
// pages (MADV_HUGEPAGE on Linux; on a system without them every size gets small pages alike), and
// every byte written before the buffer is returned. A huge-page buffer costs the kernel one
// translation per 2 MiB where small pages cost one per 4 KiB; on a virtual machine a cached 2 MB
// read into small pages ran at a sixth of the same read into huge pages. Owns its memory;
// movable, not copyable.
class TestBuffer {
public:
    TestBuffer() = default;
    // size bytes, every one equal to fill. valid() is false when the memory could not be had or
    // size is negative; a size of 0 gives a valid, empty buffer.
    TestBuffer(std::int64_t size, std::uint8_t fill);

    bool valid() const { return valid_; }
    // The size asked for; the memory behind it reaches the next multiple of bufferGranule.
    std::int64_t size() const { return size_; }
    std::uint8_t *data() { return data_.get(); }
    std::span<const std::uint8_t> bytes() const {
        return {data_.get(), static_cast<std::size_t>(data_ ? size_ : 0)};
    }

private:
    struct Unmap {
        std::size_t length; // value-initialized (0) in an empty buffer
        void operator()(std::uint8_t *p) const;
    };
    std::unique_ptr<std::uint8_t, Unmap> data_;
    std::int64_t size_ = 0;
    bool valid_ = true;
};

// Reads a byte of every 4 KiB page of bytes through a volatile access, which the compiler cannot
// drop: a page the system took back since the buffer was filled comes back here, not inside the
// timed call that follows. For the source of a write, which the kernel only reads.
void touchForReading(std::span<const std::uint8_t> bytes);

// Writes a byte of every 4 KiB page of bytes back to itself (volatile), so every page is present
// and writable before a read lands in it.
void touchForWriting(std::span<std::uint8_t> bytes);

// The test data of a write: size bytes, every one equal to fill (see TestBuffer).
TestBuffer makeTestData(std::int64_t size, std::uint8_t fill);

// A buffer for reads: size bytes, zeroed (see TestBuffer).
TestBuffer makeReadBuffer(std::int64_t size);

// The smallest buffer a read falls back to when the memory for a larger one cannot be had.
inline constexpr std::int64_t minReadBufferSize = bufferGranule;

// A read buffer (as makeReadBuffer) of size bytes or, when that memory cannot be had, of the
// first of size/2, size/4, ... that can, each rounded up to a multiple of bufferGranule and never
// below minReadBufferSize (nor above size). A size at or below the floor gets one attempt.
// Invalid when nothing could be had or size is not positive. The size the caller got is the
// buffer's size().
TestBuffer makeReadBufferUpTo(std::int64_t size);

} // namespace quorlan
