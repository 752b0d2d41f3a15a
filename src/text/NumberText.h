#pragma once

#include <optional>
#include <string_view>

namespace quorlan {

// "Trim, then one sign": the first step of every reading of a number that a user typed or a file
// stored (the panel's fields, the settings file, property lists). It lives in quorlan_text, a
// header-only library that depends on nothing, so bench, sysinfo and the application can all use
// it without a dependency between them.

// Space, tab, line feed, vertical tab, form feed and carriage return.
constexpr bool isAsciiSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// text without ASCII white space at either end.
constexpr std::string_view asciiTrimmed(std::string_view text) {
    while (!text.empty() && isAsciiSpace(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && isAsciiSpace(text.back()))
        text.remove_suffix(1);
    return text;
}

// The body of a number: text trimmed of ASCII white space, with one leading '+' removed. A
// leading '-' stays, for the number parser to read. Nothing when the body is empty ("", "  ",
// "+") or the '+' is followed by another sign ("+-5", "++5"). The view points into text.
// Text from Qt is trimmed with QString::trimmed first, which also takes off Unicode spaces.
constexpr std::optional<std::string_view> numberBody(std::string_view text) {
    std::string_view body = asciiTrimmed(text);
    if (!body.empty() && body.front() == '+') {
        body.remove_prefix(1);
        if (!body.empty() && (body.front() == '+' || body.front() == '-'))
            return std::nullopt;
    }
    if (body.empty())
        return std::nullopt;
    return body;
}

} // namespace quorlan
