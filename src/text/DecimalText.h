#pragma once

#include <charconv>
#include <cstdint>
#include <string_view>
#include <system_error>

namespace quorlan {

// The whole part of a plain decimal text, read exactly, for the places that truncate typed or
// stored numbers toward zero. Going through double would round first: "0.99999999999999999999"
// would become 1 and "9223372036854775807" would become 2^63, one past the largest int64.
struct DecimalWholePart {
    enum class Kind {
        NotPlain,   // not "[-]digits[.digits]" or "[-].digits"; read it some other way
        Value,      // value holds the whole part ("-0.5" gives 0)
        OutOfRange, // the whole part does not fit in int64
    };
    Kind kind;
    std::int64_t value;
};

// body: the number without surrounding white space and without a leading '+'.
inline DecimalWholePart decimalWholePart(std::string_view body) {
    using Kind = DecimalWholePart::Kind;
    const DecimalWholePart notPlain{Kind::NotPlain, 0};
    const bool negative = !body.empty() && body.front() == '-';
    const std::string_view unsignedBody = negative ? body.substr(1) : body;
    const std::size_t dot = unsignedBody.find('.');
    const std::string_view whole = unsignedBody.substr(0, dot);
    const std::string_view fraction =
        dot == std::string_view::npos ? std::string_view{} : unsignedBody.substr(dot + 1);
    if (whole.empty() && fraction.empty())
        return notPlain;
    for (const std::string_view part : {whole, fraction}) {
        for (const char c : part) {
            if (c < '0' || c > '9')
                return notPlain;
        }
    }
    if (whole.empty())
        return {Kind::Value, 0};

    // The sign goes with the digits, so the most negative int64 is read too.
    const std::string_view signedWhole = body.substr(0, whole.size() + (negative ? 1 : 0));
    std::int64_t value = 0;
    const char *const last = signedWhole.data() + signedWhole.size();
    const auto [ptr, ec] = std::from_chars(signedWhole.data(), last, value, 10);
    if (ec == std::errc::result_out_of_range)
        return {Kind::OutOfRange, 0};
    if (ec != std::errc{} || ptr != last)
        return notPlain;
    return {Kind::Value, value};
}

} // namespace quorlan
