#pragma once

#include <cstdint>
#include <string_view>

namespace quorlan {

// What a timed file operation was. The underlying value is the result's type code, the number
// the results export writes. Every other 64-bit code stays representable (ResultKind{7}): such a
// result is of no known kind, and no list, name or colour belongs to it.
enum class ResultKind : std::int64_t {
    Read = 0,         // a regular read, through the file cache
    UncachedRead = 1, // a read with the file's cached pages dropped first
    Write = 2,
};

// The kind's type code, as the results export writes it.
constexpr std::int64_t resultTypeCode(ResultKind kind) {
    return static_cast<std::int64_t>(kind);
}

// The first field of the kind's measurement line in the log: "w", "r" or "r*"; "?" for a code
// of no known kind, which no test logs.
constexpr std::string_view measurementLineKind(ResultKind kind) {
    switch (kind) {
    case ResultKind::Write:
        return "w";
    case ResultKind::Read:
        return "r";
    case ResultKind::UncachedRead:
        return "r*";
    }
    return "?";
}

} // namespace quorlan
