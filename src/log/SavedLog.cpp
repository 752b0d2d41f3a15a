#include "log/SavedLog.h"

#include <cstdio>
#include <ctime>
#include <string_view>

namespace quorlan {

namespace {

constexpr std::string_view undatedName = "Quorlan-output.text";

} // namespace

std::string savedLogName(std::optional<Date> startDate) {
    if (!startDate)
        return std::string(undatedName);
    // floor, not a cast: a moment before 1970 must not be rounded up to the next second.
    const auto seconds = std::chrono::floor<std::chrono::seconds>(*startDate);
    const std::time_t time = static_cast<std::time_t>(seconds.time_since_epoch().count());
    std::tm utc{};
    gmtime_r(&time, &utc); // every Date's year fits a std::tm
    char stamp[64] = {};
    std::snprintf(stamp, sizeof stamp, "%04d-%02d-%02dT%02d_%02d_%02dZ", utc.tm_year + 1900,
                  utc.tm_mon + 1, utc.tm_mday, utc.tm_hour, utc.tm_min, utc.tm_sec);
    return "Quorlan_" + std::string(stamp) + ".text";
}

} // namespace quorlan
