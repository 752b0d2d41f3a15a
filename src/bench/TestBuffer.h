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
    // Allocates size bytes aligned to 4096; valid() is false when the memory could not be had.
    explicit TestBuffer(std::int64_t size);

    bool valid() const { return valid_; }
    std::int64_t size() const { return size_; }
    std::uint8_t *data() { return data_.get(); }
    std::span<const std::uint8_t> bytes() const {
        return {data_.get(), static_cast<std::size_t>(data_ ? size_ : 0)};
    }

private:
    struct Free {
        void operator()(std::uint8_t *p) const;
    };
    std::unique_ptr<std::uint8_t, Free> data_;
    std::int64_t size_ = 0;
    bool valid_ = true;
};

// size bytes, every one equal to fill, all pages touched before it is returned so no page fault
// lands inside a timed interval. A size of 0 gives an empty buffer; an invalid buffer when the
// memory cannot be allocated (or the size is negative).
TestBuffer makeTestData(std::int64_t size, std::uint8_t fill);

} // namespace quorlan
