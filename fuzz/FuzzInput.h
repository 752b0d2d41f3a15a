#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace quorlan::fuzzing {

// Reads a fuzzer's input front to back as the parts a target needs. Every read succeeds: past
// the end it gives zeros and empty pieces, so any byte string, the empty one included, decodes
// to some value. The fuzzers and the replay tests decode corpus files through this one class,
// so a file means the same to both. (clang's FuzzedDataProvider is not used because the replay
// tests are built with the ordinary compiler, which does not ship it.)
//
// The views it returns point into the bytes given to the constructor; they stay valid as long
// as those bytes do.
class FuzzInput {
public:
    explicit FuzzInput(std::string_view bytes) : bytes_(bytes) {}
    FuzzInput(const std::uint8_t *data, std::size_t size)
        : bytes_(reinterpret_cast<const char *>(data), size) {}

    bool empty() const { return bytes_.empty(); }

    // One byte; 0 past the end.
    std::uint8_t byte() {
        if (bytes_.empty())
            return 0;
        const auto b = static_cast<std::uint8_t>(bytes_.front());
        bytes_.remove_prefix(1);
        return b;
    }

    // Eight bytes, least significant first; missing bytes count as zero.
    std::uint64_t word64() {
        std::uint64_t value = 0;
        for (int shift = 0; shift < 64; shift += 8)
            value |= std::uint64_t{byte()} << shift;
        return value;
    }

    // Four bytes, least significant first; missing bytes count as zero.
    std::uint32_t word32() {
        std::uint32_t value = 0;
        for (int shift = 0; shift < 32; shift += 8)
            value |= std::uint32_t{byte()} << shift;
        return value;
    }

    // A length byte n, then the next n bytes (fewer when the input ends first).
    std::string_view piece() {
        return take(byte());
    }

    // The bytes up to the next separator, which is consumed; all the rest when there is none.
    std::string_view upTo(char separator) {
        const std::size_t end = bytes_.find(separator);
        if (end == std::string_view::npos)
            return rest();
        const std::string_view part = bytes_.substr(0, end);
        bytes_.remove_prefix(end + 1);
        return part;
    }

    // Everything not read yet.
    std::string_view rest() {
        return take(bytes_.size());
    }

private:
    std::string_view take(std::size_t n) {
        const std::string_view part = bytes_.substr(0, n);
        bytes_.remove_prefix(part.size());
        return part;
    }

    std::string_view bytes_;
};

} // namespace quorlan::fuzzing
