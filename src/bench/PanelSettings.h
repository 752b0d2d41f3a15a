#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace quorlan {

// The unit pop-up's titles, in index order. The units are decimal: 1,000, 1,000,000 and
// 1,000,000,000 bytes.
inline constexpr std::array<std::string_view, 3> sizeList{"KB", "MB", "GB"};
// The fill pop-up's titles, in index order; each names the byte readFillByte gives for its index.
inline constexpr std::array<std::string_view, 4> contentList{"0x00", "0x88", "0x1A", "0x41"};

// The control panel's values exactly as the user left them. Nothing here is
// validated; the read* functions below turn them into the numbers the tests use.
struct PanelSettings {
    std::string filesize = "1";
    int sizeIndex = 0;    // unit pop-up: an index into sizeList; -1 = no selection
    int contentIndex = 0; // fill pop-up: an index into contentList; -1 = no selection
    std::string repeats = "1";
    std::string length = "5";
    int noCache = 0; // check-box states: 1 on, 0 off, -1 mixed
    int verbose = 0;
    int isRandom = 0;
};

// A check box counts as ticked only when it is on; off and mixed are not ticked.
bool isChecked(int checkBoxState);

struct NumberReading {
    enum class Kind { Default, Value, OutOfRange };
    Kind kind;
    std::int64_t value;
};

// Reads a number field the way its formatter would: surrounding white space is
// ignored, the rest must be one decimal number (C locale). Empty or unparsable
// text gives Default with defaultValue; a non-finite number or one too large for
// int64 gives OutOfRange (value = defaultValue); otherwise the number is
// truncated toward zero. A plain decimal ("-12.75", ".5") is truncated exactly
// from its digits; only a number with an exponent ("1.5e3") goes through double.
NumberReading readNumberField(std::string_view text, std::int64_t defaultValue);

// File size in bytes (decimal units). nullopt when the typed number is negative,
// out of range, or the product overflows int64.
std::optional<std::int64_t> readFileSize(const PanelSettings &settings);

std::uint8_t readFillByte(const PanelSettings &settings);

// Raw numbers, possibly zero or negative; use atLeastOne() where a count is needed.
std::int64_t readRepeats(const PanelSettings &settings);
std::int64_t readLength(const PanelSettings &settings);

// A repeats or length value below 1 counts as 1.
std::int64_t atLeastOne(std::int64_t n);

// The typed size with its unit, for messages, e.g. "-5 KB".
std::string fileSizeText(const PanelSettings &settings);

} // namespace quorlan
