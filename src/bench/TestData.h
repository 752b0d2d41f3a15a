#pragma once

#include "bench/TestBuffer.h"

#include <cstdint>
#include <optional>
#include <span>

namespace quorlan {

// The filled test data of one multi-file run, kept from file to file: a file no larger than the
// buffer held, with the same fill byte, is written from the buffer's first bytes (the data is the
// same), so a run fills its memory once for its largest file instead of once per file. At most
// one buffer is held at a time (the old one is released before a larger one is allocated), so
// the peak is the largest file of the run.
class TestData {
public:
    // The first size bytes of a buffer whose every byte equals fill, all pages touched; nullopt
    // when the memory cannot be had or size is negative. The span stays valid until the next
    // call or release().
    std::optional<std::span<const std::uint8_t>> bytes(std::int64_t size, std::uint8_t fill);

    // Frees the buffer.
    void release();

private:
    TestBuffer buffer_;
    std::uint8_t fill_ = 0;
};

} // namespace quorlan
