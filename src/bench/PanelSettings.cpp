#include "bench/PanelSettings.h"

#include "text/DecimalText.h"
#include "text/NumberText.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>
#include <system_error>

namespace quorlan {

namespace {

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

// from_chars reports result_out_of_range both for overflow and for underflow.
// Tell them apart from the decimal order of the leading significant digit:
// a non-negative order means the number is huge, a negative one that it is tiny.
bool isHugeMagnitude(std::string_view number) {
    if (!number.empty() && number.front() == '-')
        number.remove_prefix(1);

    const std::size_t ePos = number.find_first_of("eE");
    const std::string_view mantissa = number.substr(0, ePos);
    long long exponent = 0;
    if (ePos != std::string_view::npos) {
        std::string_view expText = number.substr(ePos + 1);
        bool negative = false;
        if (!expText.empty() && (expText.front() == '+' || expText.front() == '-')) {
            negative = expText.front() == '-';
            expText.remove_prefix(1);
        }
        for (char c : expText) {
            if (!isDigit(c))
                break;
            exponent = std::min(exponent * 10 + (c - '0'), 1000000000LL);
        }
        if (negative)
            exponent = -exponent;
    }

    const std::size_t dot = mantissa.find('.');
    const std::string_view intPart = mantissa.substr(0, dot);
    const std::string_view fracPart =
        dot == std::string_view::npos ? std::string_view{} : mantissa.substr(dot + 1);

    const std::size_t firstNonZero = intPart.find_first_not_of('0');
    long long order = 0;
    if (firstNonZero != std::string_view::npos) {
        order = static_cast<long long>(intPart.size() - firstNonZero) - 1;
    } else {
        const std::size_t fracNonZero = fracPart.find_first_not_of('0');
        if (fracNonZero == std::string_view::npos)
            return false; // zero
        order = -static_cast<long long>(fracNonZero) - 1;
    }
    return order + exponent >= 0;
}

} // namespace

bool isChecked(int checkBoxState) {
    return checkBoxState == 1;
}

NumberReading readNumberField(std::string_view text, std::int64_t defaultValue) {
    const NumberReading useDefault{NumberReading::Kind::Default, defaultValue};
    const NumberReading outOfRange{NumberReading::Kind::OutOfRange, defaultValue};

    const std::optional<std::string_view> number = numberBody(text);
    if (!number)
        return useDefault;
    const std::string_view body = *number;

    const DecimalWholePart whole = decimalWholePart(body);
    if (whole.kind == DecimalWholePart::Kind::Value)
        return {NumberReading::Kind::Value, whole.value};
    if (whole.kind == DecimalWholePart::Kind::OutOfRange)
        return outOfRange;

    // An exponent form ("1.5e3"): through double.
    double x = 0.0;
    const char *const first = body.data();
    const char *const last = body.data() + body.size();
    const auto [ptr, ec] = std::from_chars(first, last, x, std::chars_format::general);
    if (ptr != last)
        return useDefault;
    if (ec == std::errc::result_out_of_range)
        return isHugeMagnitude(body) ? outOfRange : NumberReading{NumberReading::Kind::Value, 0};
    if (ec != std::errc{})
        return useDefault;

    if (!std::isfinite(x))
        return outOfRange;

    constexpr double twoTo63 = 9223372036854775808.0;
    const double truncated = std::trunc(x);
    if (truncated >= twoTo63 || truncated < -twoTo63)
        return outOfRange;
    return {NumberReading::Kind::Value, static_cast<std::int64_t>(truncated)};
}

std::optional<std::int64_t> readFileSize(const PanelSettings &settings) {
    const NumberReading n = readNumberField(settings.filesize, 1);
    if (n.kind == NumberReading::Kind::OutOfRange || n.value < 0)
        return std::nullopt;

    std::int64_t bytes = 0;
    if (__builtin_mul_overflow(n.value, std::int64_t{1000}, &bytes))
        return std::nullopt;
    if (settings.sizeIndex == 1) {
        if (__builtin_mul_overflow(bytes, std::int64_t{1000}, &bytes))
            return std::nullopt;
    } else if (settings.sizeIndex > 1) {
        if (__builtin_mul_overflow(bytes, std::int64_t{1000000}, &bytes))
            return std::nullopt;
    }
    return bytes;
}

std::uint8_t readFillByte(const PanelSettings &settings) {
    switch (settings.contentIndex) {
    case 0:
        return 0x00;
    case 1:
        return 0x88;
    case 2:
        return 0x1A;
    default:
        return 0x41;
    }
}

std::int64_t readRepeats(const PanelSettings &settings) {
    return readNumberField(settings.repeats, 1).value;
}

std::int64_t readLength(const PanelSettings &settings) {
    return readNumberField(settings.length, 5).value;
}

std::int64_t atLeastOne(std::int64_t n) {
    return std::max<std::int64_t>(n, 1);
}

std::string fileSizeText(const PanelSettings &settings) {
    // No selection counts as the first unit, an index past the end as the last, as in readFileSize.
    const int last = static_cast<int>(sizeList.size()) - 1;
    const std::string_view unit =
        sizeList[static_cast<std::size_t>(std::clamp(settings.sizeIndex, 0, last))];
    std::string text(asciiTrimmed(settings.filesize));
    text += ' ';
    text += unit;
    return text;
}

} // namespace quorlan
