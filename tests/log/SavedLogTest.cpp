#include "log/SavedLog.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <ctime>

namespace quorlan {
namespace {

using namespace std::chrono;

Date utcMoment(int y, unsigned mo, unsigned d, int h, int mi, int s) {
    return sys_days{year{y} / month{mo} / day{d}} + hours{h} + minutes{mi} + seconds{s};
}

// Sets TZ for the life of the object and puts the old value back afterwards.
class TimeZone {
public:
    explicit TimeZone(const char *zone) {
        if (const char *old = std::getenv("TZ")) {
            hadOld_ = true;
            old_ = old;
        }
        setenv("TZ", zone, 1);
        tzset();
    }
    ~TimeZone() {
        if (hadOld_)
            setenv("TZ", old_.c_str(), 1);
        else
            unsetenv("TZ");
        tzset();
    }

private:
    bool hadOld_ = false;
    std::string old_;
};

TEST(SavedLog, NameWithoutAndWithDate) {
    EXPECT_EQ(savedLogName(std::nullopt), "Quorlan-output.text");
    EXPECT_EQ(savedLogName(utcMoment(2026, 12, 4, 16, 5, 7)), "Quorlan_2026-12-04T16_05_07Z.text");
    // Fractions of a second are dropped, never rounded up.
    EXPECT_EQ(savedLogName(utcMoment(2026, 12, 4, 16, 5, 7) + milliseconds{999}),
              "Quorlan_2026-12-04T16_05_07Z.text");
    // Day boundaries: midnight is hour 00, the last second of a year stays in it.
    EXPECT_EQ(savedLogName(utcMoment(2027, 1, 1, 0, 0, 0)), "Quorlan_2027-01-01T00_00_00Z.text");
    EXPECT_EQ(savedLogName(utcMoment(2026, 12, 31, 23, 59, 59) + nanoseconds{999999999}),
              "Quorlan_2026-12-31T23_59_59Z.text");
    EXPECT_EQ(savedLogName(utcMoment(2028, 2, 29, 12, 0, 0)), "Quorlan_2028-02-29T12_00_00Z.text");
    EXPECT_EQ(savedLogName(Date{}), "Quorlan_1970-01-01T00_00_00Z.text");
    // Before 1970 the stamp still reads as a date and the second is not rounded up.
    EXPECT_EQ(savedLogName(utcMoment(1969, 12, 31, 23, 59, 59) + milliseconds{500}),
              "Quorlan_1969-12-31T23_59_59Z.text");
    EXPECT_FALSE(savedLogName(Date::min()).empty());
    EXPECT_FALSE(savedLogName(Date::max()).empty());
}

TEST(SavedLog, NameIsUtcWhateverTheLocalZone) {
    const TimeZone zone("America/Los_Angeles");
    const std::time_t probe = system_clock::to_time_t(utcMoment(2026, 12, 4, 16, 5, 7));
    std::tm local{};
    ASSERT_NE(localtime_r(&probe, &local), nullptr);
    if (local.tm_hour != 8)
        GTEST_SKIP() << "the zone America/Los_Angeles is not installed on this machine";
    // 16:05:07 UTC is 08:05:07 in Los Angeles; 03:30 UTC is the evening before there.
    EXPECT_EQ(savedLogName(utcMoment(2026, 12, 4, 16, 5, 7)), "Quorlan_2026-12-04T16_05_07Z.text");
    EXPECT_EQ(savedLogName(utcMoment(2026, 7, 1, 3, 30, 0)), "Quorlan_2026-07-01T03_30_00Z.text");
    EXPECT_EQ(savedLogName(utcMoment(2026, 7, 1, 23, 59, 59)), "Quorlan_2026-07-01T23_59_59Z.text");
}

} // namespace
} // namespace quorlan
