#include "log/LogLines.h"
#include "log/SavedLog.h"

#include "../support/RecordingLog.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <ctime>
#include <tuple>

using namespace quorlan;

// Kind, size, the shortest time that reads back the same (an exponent below 0.0001), and the
// rate truncated toward zero, saturated at 64 bits, 0 when there is none.
TEST(MeasurementLine, Formats) {
    const std::tuple<const char *, std::int64_t, double, const char *> cases[] = {
        {"w", 5000000, 0.012345, "w,5000000,0.012345,405022276\n"},
        {"w", 1000, -1.0, "w,1000,-1.0,-1000\n"},
        {"r*", 1000000, 0.00005, "r*,1000000,5e-05,20000000000\n"},
        {"r", 3, 2.0, "r,3,2.0,1\n"},
        {"w", 3, -2.0, "w,3,-2.0,-1\n"},
        {"r", 0, 0.0001, "r,0,0.0001,0\n"},
        {"r", 0, 0.0, "r,0,0.0,0\n"}, // no bytes in no time: no rate
        {"r", 1, 0.0000123, "r,1,1.23e-05,81300\n"},
        {"r", 1, 0.1 + 0.2, "r,1,0.30000000000000004,3\n"},
        {"r", 0, 123456.789, "r,0,123456.789,0\n"},
        {"r", 9000000000000000000, 1e-9, "r,9000000000000000000,1e-09,9223372036854775807\n"},
        {"r", 4611686018427387904, 0.5, "r,4611686018427387904,0.5,9223372036854775807\n"}};
    for (const auto &[kind, size, time, line] : cases)
        EXPECT_EQ(measurementLine(kind, size, time), line);
    EXPECT_EQ(columnHeaderLine() + testPathLine("/tmp/a b/ü.tiff"),
              "type,size,time,rate\n\nTest path /tmp/a b/ü.tiff\n");
}

static Date utc(int y, unsigned mo, unsigned d, int h, int mi, int s, int ns = 0) {
    using namespace std::chrono;
    return sys_days{year{y} / month{mo} / day{d}} + hours{h} + minutes{mi} + seconds{s} +
           nanoseconds{ns};
}

// The footer: the description, the versions, and the dates only when known, in UTC.
TEST(RunFooter, PrintsDescriptionVersionsAndUtcDates) {
    RunFooter footer{"Mac model = Unknown\n", "Debian 12", "0.1.0", {}, {}};
    const std::string versions =
        "Mac model = Unknown\nRunning macOS version Debian 12\nQuorlan version 0.1.0\n";
    EXPECT_EQ(runFooterText(footer), versions + "\n\n");
    footer.startDate = utc(2026, 12, 4, 16, 5, 53);
    footer.endDate = utc(2026, 12, 5, 0, 5, 53, 999000000);
    quorlan::testing::RecordingLog log;
    appendRunFooter(log, footer);
    EXPECT_EQ(log.text, versions + "Started at 2026-12-04 16:05:53 +0000\n"
                                   "Ended at 2026-12-05 00:05:53 +0000\n\n\n");
}

// The stamp is UTC whatever the local zone, and fractions of a second are dropped, never rounded
// up (before 1970 too).
TEST(SavedLog, NameWithoutAndWithDate) {
    // 16:05 UTC is 08:05 in Los Angeles. Each test runs in a process of its own.
    ASSERT_EQ(setenv("TZ", "America/Los_Angeles", 1), 0);
    tzset();
    const std::pair<std::optional<Date>, const char *> cases[] = {
        {std::nullopt, "Quorlan-output.text"},
        {utc(2026, 12, 4, 16, 5, 7, 999000000), "Quorlan_2026-12-04T16_05_07Z.text"},
        {utc(2027, 1, 1, 0, 0, 0), "Quorlan_2027-01-01T00_00_00Z.text"},
        {utc(2026, 12, 31, 23, 59, 59, 999999999), "Quorlan_2026-12-31T23_59_59Z.text"},
        {utc(2026, 7, 1, 3, 30, 0), "Quorlan_2026-07-01T03_30_00Z.text"},
        {utc(2028, 2, 29, 12, 0, 0), "Quorlan_2028-02-29T12_00_00Z.text"},
        {Date{}, "Quorlan_1970-01-01T00_00_00Z.text"},
        {utc(1969, 12, 31, 23, 59, 59, 500000000), "Quorlan_1969-12-31T23_59_59Z.text"}};
    for (const auto &[date, name] : cases)
        EXPECT_EQ(savedLogName(date), name);
    EXPECT_FALSE(savedLogName(Date::min()).empty() || savedLogName(Date::max()).empty());
}
