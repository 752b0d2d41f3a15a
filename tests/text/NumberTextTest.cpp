#include "text/NumberText.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <string_view>

namespace quorlan {
namespace {

TEST(NumberText, NumberBodyTrimsThenTakesOnePlus) {
    struct Case {
        std::string_view text;
        std::optional<std::string_view> body;
    };
    const Case cases[] = {
        {"5", "5"},
        {" \t+5\r\n\v\f", "5"},
        {"-5", "-5"}, // the parser reads the minus
        {"  -0.5e3 ", "-0.5e3"},
        {"+ 5", " 5"}, // white space after the sign is not trimmed: no number
        {"5+", "5+"},  // only a leading sign is looked at
        {"+", std::nullopt},
        {"", std::nullopt},
        {" \t\n", std::nullopt},
        {"+-5", std::nullopt},
        {"++5", std::nullopt},
        {"-+5", "-+5"},                   // left for the parser, which refuses it
        {"\xc2\xa0\x35", "\xc2\xa0\x35"}, // only ASCII white space: a no-break space stays
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(std::string(c.text));
        EXPECT_EQ(numberBody(c.text), c.body);
    }
}

TEST(NumberText, AsciiTrimmedKeepsTheInside) {
    for (const auto &[text, inside] : {std::pair{"  a b\t", "a b"}, {"\r\n", ""}, {"x", "x"}})
        EXPECT_EQ(asciiTrimmed(text), inside);
    // The body is a view into the caller's text, not a copy.
    const std::string_view text = "  12 ";
    EXPECT_EQ(numberBody(text)->data(), text.data() + 2);
}

} // namespace
} // namespace quorlan
