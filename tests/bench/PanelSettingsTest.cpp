#include "bench/PanelSettings.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <optional>
#include <string>

namespace quorlan {
namespace {

PanelSettings sized(std::string text, int sizeIndex) {
    PanelSettings s;
    s.filesize = std::move(text);
    s.sizeIndex = sizeIndex;
    return s;
}

TEST(PanelSettings, ReadFileSize) {
    EXPECT_EQ(readFileSize(sized("5", 1)), std::optional<std::int64_t>(5000000));
    EXPECT_EQ(readFileSize(sized("5", 2)), std::optional<std::int64_t>(5000000000));
    EXPECT_EQ(readFileSize(sized("abc", 0)), std::optional<std::int64_t>(1000));
    EXPECT_EQ(readFileSize(sized("abc", 2)), std::optional<std::int64_t>(1000000000));
    EXPECT_EQ(readFileSize(sized("", 0)), std::optional<std::int64_t>(1000));
    EXPECT_EQ(readFileSize(sized("2.7", 0)), std::optional<std::int64_t>(2000));
    EXPECT_EQ(readFileSize(sized("0", 2)), std::optional<std::int64_t>(0));
    EXPECT_EQ(readFileSize(sized("5", -1)), std::optional<std::int64_t>(5000));
    EXPECT_EQ(readFileSize(sized(" 7 ", 0)), std::optional<std::int64_t>(7000));
    EXPECT_EQ(readFileSize(sized("1,000", 0)), std::optional<std::int64_t>(1000));

    EXPECT_EQ(readFileSize(sized("-5", 0)), std::nullopt);
    EXPECT_EQ(readFileSize(sized("inf", 0)), std::nullopt);
    EXPECT_EQ(readFileSize(sized("nan", 0)), std::nullopt);
    EXPECT_EQ(readFileSize(sized("1e300", 0)), std::nullopt);
    EXPECT_EQ(readFileSize(sized("1e400", 0)), std::nullopt);
    EXPECT_EQ(readFileSize(sized("9223372036854775807", 0)), std::nullopt);
    EXPECT_EQ(readFileSize(sized("10000000000", 2)), std::nullopt);
}

TEST(PanelSettings, ReadNumberField) {
    using Kind = NumberReading::Kind;

    EXPECT_EQ(readNumberField("", 9).kind, Kind::Default);
    EXPECT_EQ(readNumberField("", 9).value, 9);
    EXPECT_EQ(readNumberField("   ", 9).kind, Kind::Default);
    EXPECT_EQ(readNumberField("12abc", 9).kind, Kind::Default);
    EXPECT_EQ(readNumberField("1,000", 9).kind, Kind::Default);
    EXPECT_EQ(readNumberField("1,000", 9).value, 9);
    EXPECT_EQ(readNumberField("+-5", 9).kind, Kind::Default);
    EXPECT_EQ(readNumberField("+", 9).kind, Kind::Default);
    EXPECT_EQ(readNumberField("0x10", 9).kind, Kind::Default);

    EXPECT_EQ(readNumberField("2.7", 0).value, 2);
    EXPECT_EQ(readNumberField("-2.7", 0).value, -2);
    EXPECT_EQ(readNumberField("+3", 0).value, 3);
    EXPECT_EQ(readNumberField("\t1.5e3\n", 0).value, 1500);
    EXPECT_EQ(readNumberField("1e-400", 9).kind, Kind::Value);
    EXPECT_EQ(readNumberField("1e-400", 9).value, 0);
    EXPECT_EQ(readNumberField("-9223372036854775808", 0).kind, Kind::Value);
    EXPECT_EQ(readNumberField("-9223372036854775808", 0).value,
              std::numeric_limits<std::int64_t>::min());

    // Plain decimals are truncated from their digits, never rounded up through double first.
    EXPECT_EQ(readNumberField("0.99999999999999999999", 9).value, 0);
    EXPECT_EQ(readNumberField("-0.99999999999999999999", 9).value, 0);
    EXPECT_EQ(readNumberField("9007199254740993", 9).value, 9007199254740993);
    EXPECT_EQ(readNumberField("9223372036854775807", 9).kind, Kind::Value);
    EXPECT_EQ(readNumberField("9223372036854775807.9", 9).value,
              std::numeric_limits<std::int64_t>::max());
    EXPECT_EQ(readNumberField(".5", 9).kind, Kind::Value);
    EXPECT_EQ(readNumberField(".5", 9).value, 0);
    EXPECT_EQ(readNumberField("7.", 9).value, 7);
    EXPECT_EQ(readNumberField("-", 9).kind, Kind::Default);
    EXPECT_EQ(readNumberField(".", 9).kind, Kind::Default);
    EXPECT_EQ(readNumberField("-.", 9).kind, Kind::Default);
    EXPECT_EQ(readNumberField("1.2.3", 9).kind, Kind::Default);
    EXPECT_EQ(readNumberField("-9223372036854775809", 9).kind, Kind::OutOfRange);
    EXPECT_EQ(readNumberField("99999999999999999999.5", 9).kind, Kind::OutOfRange);

    EXPECT_EQ(readNumberField("inf", 9).kind, Kind::OutOfRange);
    EXPECT_EQ(readNumberField("infinity", 9).kind, Kind::OutOfRange);
    EXPECT_EQ(readNumberField("-inf", 9).kind, Kind::OutOfRange);
    EXPECT_EQ(readNumberField("nan", 9).kind, Kind::OutOfRange);
    EXPECT_EQ(readNumberField("9223372036854775808", 9).kind, Kind::OutOfRange);
    EXPECT_EQ(readNumberField("-1e300", 9).kind, Kind::OutOfRange);
    EXPECT_EQ(readNumberField("1e400", 9).kind, Kind::OutOfRange);
}

TEST(PanelSettings, ReadFillByte) {
    PanelSettings s;
    const std::uint8_t expected[] = {0x00, 0x88, 0x1A, 0x41};
    for (int i = 0; i < 4; ++i) {
        s.contentIndex = i;
        EXPECT_EQ(readFillByte(s), expected[i]) << "index " << i;
    }
    s.contentIndex = -1;
    EXPECT_EQ(readFillByte(s), 0x41);
    s.contentIndex = 7;
    EXPECT_EQ(readFillByte(s), 0x41);
}

TEST(PanelSettings, ReadRepeatsAndLength) {
    PanelSettings s;
    EXPECT_EQ(readRepeats(s), 1);
    EXPECT_EQ(readLength(s), 5);

    s.repeats = "";
    s.length = "";
    EXPECT_EQ(readRepeats(s), 1);
    EXPECT_EQ(readLength(s), 5);

    s.repeats = "0";
    EXPECT_EQ(readRepeats(s), 0);
    EXPECT_EQ(atLeastOne(readRepeats(s)), 1);

    s.length = "-3";
    EXPECT_EQ(readLength(s), -3);
    EXPECT_EQ(atLeastOne(readLength(s)), 1);

    s.repeats = "inf";
    s.length = "1e300";
    EXPECT_EQ(readRepeats(s), 1);
    EXPECT_EQ(readLength(s), 5);

    s.repeats = "1,000";
    EXPECT_EQ(readRepeats(s), 1);
    s.length = " 12 ";
    EXPECT_EQ(readLength(s), 12);
    EXPECT_EQ(atLeastOne(12), 12);
}

TEST(PanelSettings, IsChecked) {
    EXPECT_TRUE(isChecked(1));
    EXPECT_FALSE(isChecked(0));
    EXPECT_FALSE(isChecked(-1));
}

TEST(PanelSettings, FileSizeText) {
    EXPECT_EQ(fileSizeText(sized("-5", 0)), "-5 KB");
    EXPECT_EQ(fileSizeText(sized(" 5 ", -1)), "5 KB");
    EXPECT_EQ(fileSizeText(sized("5", 1)), "5 MB");
    EXPECT_EQ(fileSizeText(sized("5", 2)), "5 GB");
}

} // namespace
} // namespace quorlan
