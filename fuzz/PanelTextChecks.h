#pragma once

// What the panel-text fuzzer and its replay test check: any panel texts and pop-up indices go
// through readNumberField and every panel reading, and the answers must keep the contracts of
// bench/PanelSettings.h. Both include this header, so a corpus file is checked the same way.

#include "FuzzInput.h"
#include "bench/PanelSettings.h"

#include <cstdint>
#include <limits>
#include <optional>
#include <string>
#include <string_view>

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
    static constexpr std::int64_t defaults[] = {1,
                                                5,
                                                0,
                                                -1,
                                                std::numeric_limits<std::int64_t>::max(),
                                                std::numeric_limits<std::int64_t>::min(),
                                                1000,
                                                -9007199254740993};
    static constexpr int checkStates[] = {0, 1, -1, 2};
    FuzzInput in(bytes);
    PanelTextInput input;
    input.panel.sizeIndex = static_cast<std::int8_t>(in.byte());
    input.panel.contentIndex = static_cast<std::int8_t>(in.byte());
    const std::uint8_t checks = in.byte();
    input.panel.noCache = checkStates[checks & 3];
    input.panel.verbose = checkStates[(checks >> 2) & 3];
    input.panel.isRandom = checkStates[(checks >> 4) & 3];
    input.fieldDefault = defaults[in.byte() % 8];
    if (!in.empty())
        input.panel.filesize = std::string(in.upTo('\0'));
    if (!in.empty())
        input.panel.repeats = std::string(in.upTo('\0'));
    if (!in.empty())
        input.panel.length = std::string(in.rest());
    return input;
}

namespace detail {

inline bool isFieldSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

inline std::string_view trimmedField(std::string_view text) {
    while (!text.empty() && isFieldSpace(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && isFieldSpace(text.back()))
        text.remove_suffix(1);
    return text;
}

inline bool isDigitChar(char c) {
    return c >= '0' && c <= '9';
}

inline bool isLetterChar(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

inline bool startsWithWord(std::string_view text, std::string_view lowerWord) {
    if (text.size() < lowerWord.size())
        return false;
    for (std::size_t i = 0; i < lowerWord.size(); ++i) {
        const char c = text[i];
        const char lower = (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
        if (lower != lowerWord[i])
            return false;
    }
    return true;
}

// A plain decimal text: "[+|-]digits[.digits]" or "[+|-].digits", white space around it.
struct PlainDecimal {
    bool inRange;       // the whole part fits in int64
    std::int64_t value; // the whole part, truncated toward zero, when inRange
};

inline std::optional<PlainDecimal> plainDecimalValue(std::string_view text) {
    std::string_view body = trimmedField(text);
    bool negative = false;
    if (!body.empty() && (body.front() == '+' || body.front() == '-')) {
        negative = body.front() == '-';
        body.remove_prefix(1);
    }
    const std::size_t dot = body.find('.');
    const std::string_view whole = body.substr(0, dot);
    const std::string_view fraction =
        dot == std::string_view::npos ? std::string_view{} : body.substr(dot + 1);
    if (whole.empty() && fraction.empty())
        return std::nullopt;
    for (const std::string_view part : {whole, fraction}) {
        for (char c : part) {
            if (!isDigitChar(c))
                return std::nullopt;
        }
    }
    __int128 magnitude = 0;
    for (char c : whole) {
        magnitude = magnitude * 10 + (c - '0');
        if (magnitude > (__int128{1} << 64))
            return PlainDecimal{false, 0};
    }
    const __int128 value = negative ? -magnitude : magnitude;
    if (value > std::numeric_limits<std::int64_t>::max() ||
        value < std::numeric_limits<std::int64_t>::min())
        return PlainDecimal{false, 0};
    return PlainDecimal{true, static_cast<std::int64_t>(value)};
}

// Text the contract says is no decimal number at all: nothing but white space; a character that
// cannot occur in a number (nor in from_chars' "nan(...)" form); or letters other than an
// exponent's e in a text that does not start with "inf" or "nan" (hex, words, units).
inline bool isClearlyNotANumber(std::string_view text) {
    std::string_view body = trimmedField(text);
    if (body.empty())
        return true;
    bool otherLetter = false;
    for (char c : body) {
        const bool allowed = isDigitChar(c) || isLetterChar(c) || c == '+' || c == '-' ||
                             c == '.' || c == '_' || c == '(' || c == ')';
        if (!allowed)
            return true;
        if (isLetterChar(c) && c != 'e' && c != 'E')
            otherLetter = true;
    }
    if (!body.empty() && (body.front() == '+' || body.front() == '-'))
        body.remove_prefix(1);
    return otherLetter && !startsWithWord(body, "inf") && !startsWithWord(body, "nan");
}

inline std::string numberFieldViolation(std::string_view text, std::int64_t fieldDefault) {
    using Kind = NumberReading::Kind;
    const NumberReading reading = readNumberField(text, fieldDefault);
    if (reading.kind != Kind::Value && reading.value != fieldDefault)
        return "a text that is not read as a value did not give the default";
    if (const std::optional<PlainDecimal> n = plainDecimalValue(text)) {
        if (n->inRange && (reading.kind != Kind::Value || reading.value != n->value))
            return "a plain decimal text did not read as its whole part";
        if (!n->inRange && reading.kind != Kind::OutOfRange)
            return "a plain decimal text beyond int64 did not give OutOfRange";
    }
    if (isClearlyNotANumber(text) && reading.kind != Kind::Default)
        return "a text that is no decimal number did not give Default";
    std::string padded = " \t\n";
    padded.append(text);
    padded.append("\r\f\v ");
    const NumberReading paddedReading = readNumberField(padded, fieldDefault);
    if (paddedReading.kind != reading.kind || paddedReading.value != reading.value)
        return "white space around the text changed its reading";
    return {};
}

// The bytes per typed unit, as the unit word that fileSizeText shows; 0 for an unknown word.
inline std::int64_t bytesPerUnit(std::string_view unitWord) {
    if (unitWord == "KB")
        return 1000;
    if (unitWord == "MB")
        return 1000000;
    if (unitWord == "GB")
        return 1000000000;
    return 0;
}

inline std::string fileSizeViolation(const PanelSettings &panel) {
    const std::string text = fileSizeText(panel);
    const std::string_view typed = trimmedField(panel.filesize);
    const std::size_t space = text.rfind(' ');
    if (space == std::string::npos || std::string_view(text).substr(0, space) != typed)
        return "fileSizeText does not start with the typed size";
    const std::string_view unit = std::string_view(text).substr(space + 1);
    static constexpr const char *unitWords[] = {"KB", "MB", "GB"};
    if (panel.sizeIndex >= 0 && panel.sizeIndex <= 2 && unit != unitWords[panel.sizeIndex])
        return "fileSizeText names the wrong unit";
    const std::int64_t perUnit = bytesPerUnit(unit);
    if (perUnit == 0)
        return "fileSizeText names no unit";

    const NumberReading n = readNumberField(panel.filesize, 1);
    std::optional<std::int64_t> expected;
    if (n.kind != NumberReading::Kind::OutOfRange && n.value >= 0) {
        const __int128 product = static_cast<__int128>(n.value) * perUnit;
        if (product <= std::numeric_limits<std::int64_t>::max())
            expected = static_cast<std::int64_t>(product);
    }
    if (readFileSize(panel) != expected)
        return "readFileSize is not the typed number times the unit that fileSizeText names";
    return {};
}

inline std::string countViolation(std::int64_t count, const std::string &text,
                                  std::int64_t fieldDefault) {
    if (count != readNumberField(text, fieldDefault).value)
        return "a count is not its field's reading";
    const std::int64_t atLeast = atLeastOne(count);
    if (atLeast < 1 || (count >= 1 && atLeast != count))
        return "atLeastOne is below 1 or changed a count of 1 or more";
    return {};
}

inline std::string fillByteViolation(const PanelSettings &panel) {
    static constexpr std::uint8_t fills[] = {0x00, 0x88, 0x1A, 0x41};
    const std::uint8_t fill = readFillByte(panel);
    if (panel.contentIndex >= 0 && panel.contentIndex <= 3)
        return fill == fills[panel.contentIndex] ? "" : "readFillByte is not the chosen fill";
    for (std::uint8_t f : fills) {
        if (fill == f)
            return {};
    }
    return "readFillByte is none of the four fills";
}

} // namespace detail

// Empty when every reading of the decoded panel keeps its contract; otherwise which one broke.
inline std::string panelTextViolation(const PanelTextInput &input) {
    const PanelSettings &panel = input.panel;
    for (const std::string *text : {&panel.filesize, &panel.repeats, &panel.length}) {
        std::string broken = detail::numberFieldViolation(*text, input.fieldDefault);
        if (!broken.empty())
            return broken;
    }
    std::string broken = detail::fileSizeViolation(panel);
    if (broken.empty())
        broken = detail::countViolation(readRepeats(panel), panel.repeats, 1);
    if (broken.empty())
        broken = detail::countViolation(readLength(panel), panel.length, 5);
    if (broken.empty())
        broken = detail::fillByteViolation(panel);
    if (broken.empty()) {
        for (int state : {panel.noCache, panel.verbose, panel.isRandom}) {
            if (isChecked(state) != (state == 1))
                return "a check box other than on counts as ticked, or on does not";
        }
    }
    return broken;
}

inline std::string panelTextViolation(std::string_view bytes) {
    return panelTextViolation(decodePanelText(bytes));
}

} // namespace quorlan::fuzzing
