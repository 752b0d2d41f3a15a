#pragma once

// What the panel-text fuzzer and its replay test check: any panel texts and pop-up indices go
// through readNumberField and every panel reading, and the answers must keep the contracts of
// bench/PanelSettings.h. Both include this header, so a corpus file is checked the same way.

#include "FuzzInput.h"
#include "bench/PanelSettings.h"
#include "text/NumberText.h"

#include <algorithm>
#include <array>
#include <limits>
#include <string>
#include <strings.h>
#include <tuple>

namespace quorlan::fuzzing {

// One decoded input: the panel, and the default value given to the direct readNumberField calls.
struct PanelTextInput {
    PanelSettings panel;
    std::int64_t fieldDefault = 1;
};

// Input layout: byte 0 the unit pop-up index and byte 1 the fill pop-up index (both signed, so
// -1 and indices past the last item occur); byte 2 the three check-box states, two bits each
// (0 off, 1 on, 2 mixed = -1, 3 an out-of-range 2); byte 3 picks the field default. Then the size,
// repeats and length texts, separated by NUL bytes; the length text takes all the rest, further
// NULs included. A text the input does not reach keeps the panel's default.
inline PanelTextInput decodePanelText(std::string_view bytes) {
    constexpr std::int64_t big = std::numeric_limits<std::int64_t>::max();
    constexpr std::int64_t defaults[] = {1, 5, 0, -1, big, -big - 1, 1000, -9007199254740993};
    constexpr int checkStates[] = {0, 1, -1, 2};
    FuzzInput in(bytes);
    PanelTextInput input;
    input.panel.sizeIndex = static_cast<std::int8_t>(in.byte());
    input.panel.contentIndex = static_cast<std::int8_t>(in.byte());
    const std::uint8_t checks = in.byte();
    input.panel.noCache = checkStates[checks & 3];
    input.panel.verbose = checkStates[(checks >> 2) & 3];
    input.panel.isRandom = checkStates[(checks >> 4) & 3];
    input.fieldDefault = defaults[in.byte() % 8];
    std::string *texts[] = {&input.panel.filesize, &input.panel.repeats, &input.panel.length};
    for (int i = 0; i < 3 && !in.empty(); ++i)
        *texts[i] = std::string(i < 2 ? in.upTo('\0') : in.rest());
    return input;
}

// The reading a plain decimal text ("[+|-]digits[.digits]" or "[+|-].digits", white space
// around it) must give: its whole part truncated toward zero, OutOfRange beyond int64. Nothing
// for any other text; Default for one that can hold no number at all (only white space, or a
// character no decimal number has, unless it begins as "inf" or "nan" do).
inline std::optional<NumberReading> expectedReading(std::string_view text,
                                                    std::int64_t fieldDefault) {
    using Kind = NumberReading::Kind;
    constexpr std::string_view digits = "0123456789";
    const std::string_view body = asciiTrimmed(text);
    const std::string_view number = body.substr(body.find_first_not_of("+-") == 1 ? 1 : 0);
    const std::string_view whole = number.substr(0, number.find('.'));
    const std::string_view fraction = number.substr(std::min(whole.size() + 1, number.size()));
    if (!number.empty() && number != "." &&
        whole.find_first_not_of(digits) == std::string_view::npos &&
        fraction.find_first_not_of(digits) == std::string_view::npos) {
        __int128 magnitude = 0;
        for (std::size_t i = 0; i < whole.size() && magnitude <= (__int128{1} << 64); ++i)
            magnitude = magnitude * 10 + (whole[i] - '0');
        const __int128 value = body[0] == '-' ? -magnitude : magnitude;
        if (static_cast<std::int64_t>(value) != value)
            return NumberReading{Kind::OutOfRange, fieldDefault};
        return NumberReading{Kind::Value, static_cast<std::int64_t>(value)};
    }
    const bool infOrNan = number.size() >= 3 && (strncasecmp(number.data(), "inf", 3) == 0 ||
                                                 strncasecmp(number.data(), "nan", 3) == 0);
    if (body.empty() ||
        (!infOrNan && body.find_first_not_of("0123456789eE+-.") != std::string_view::npos))
        return NumberReading{Kind::Default, fieldDefault};
    return std::nullopt;
}

// Empty when every reading of the decoded panel keeps its contract; otherwise which one broke.
inline std::string panelTextViolation(const PanelTextInput &input) {
    const PanelSettings &panel = input.panel;
    for (const std::string *text : {&panel.filesize, &panel.repeats, &panel.length}) {
        const NumberReading reading = readNumberField(*text, input.fieldDefault);
        if (reading.kind != NumberReading::Kind::Value && reading.value != input.fieldDefault)
            return "a text that is not read as a value did not give the default";
        const auto expected = expectedReading(*text, input.fieldDefault);
        if (expected && (expected->kind != reading.kind || expected->value != reading.value))
            return "a plain decimal text, or one that is no number, gave another reading";
        const NumberReading padded =
            readNumberField(" \t\n" + *text + "\r\f\v ", input.fieldDefault);
        if (padded.kind != reading.kind || padded.value != reading.value)
            return "white space around the text changed its reading";
    }
    // The unit of the pop-up: no selection counts as the first, an index past the end as the last.
    const int unit = std::clamp(panel.sizeIndex, 0, 2);
    if (fileSizeText(panel) !=
        std::string(asciiTrimmed(panel.filesize)) + " " + std::string(sizeList[unit]))
        return "fileSizeText is not the typed size and the chosen unit";
    const std::int64_t perUnit = unit == 0 ? 1000 : unit == 1 ? 1000000 : 1000000000;
    const NumberReading size = readNumberField(panel.filesize, 1);
    const bool fits = size.kind != NumberReading::Kind::OutOfRange && size.value >= 0 &&
                      size.value <= std::numeric_limits<std::int64_t>::max() / perUnit;
    if (readFileSize(panel) != (fits ? std::optional(size.value * perUnit) : std::nullopt))
        return "readFileSize is not the typed size in bytes, or not nothing when it cannot be";
    for (const auto &[count, text, fallback] : {std::tuple{readRepeats(panel), &panel.repeats, 1},
                                                std::tuple{readLength(panel), &panel.length, 5}}) {
        if (count != readNumberField(*text, fallback).value ||
            atLeastOne(count) != std::max<std::int64_t>(count, 1))
            return "a count is not its field's reading, or atLeastOne is not it raised to 1";
    }
    // The fill of the pop-up; any other index, no selection included, gives the last.
    const int fill = panel.contentIndex >= 0 && panel.contentIndex <= 3 ? panel.contentIndex : 3;
    if (readFillByte(panel) != std::array{0x00, 0x88, 0x1A, 0x41}[fill])
        return "readFillByte is not the fill of the pop-up";
    for (const int state : {panel.noCache, panel.verbose, panel.isRandom}) {
        if (isChecked(state) != (state == 1))
            return "a check box other than on counts as ticked, or on does not";
    }
    return {};
}

inline std::string panelTextViolation(std::string_view bytes) {
    return panelTextViolation(decodePanelText(bytes));
}

} // namespace quorlan::fuzzing
