#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace quorlan {

class LogSink;

using Date = std::chrono::system_clock::time_point;

// "type,size,time,rate\n"
std::string columnHeaderLine();

// The time as the shortest text that reads back as the same double: plain notation with at
// least one digit after the point from 0.0001 up to 1e16 (2.0, -1.0, 0.5), exponential with a
// signed two-digit exponent outside that range (5e-05, 1.23e-05); zero is 0.0.
std::string formatTime(double seconds);

// A rate in bytes per second as the log writes one: truncated toward zero, saturating at the ends
// of the 64-bit range; 0 for NaN.
std::int64_t wholeRate(double rate);

// kind,size,time,rate\n with the rate size / time truncated toward zero (bytes per second).
// The time must not be 0.0. A rate beyond the 64-bit range saturates at its end.
std::string measurementLine(std::string_view kind, std::int64_t size, double seconds);

// "\nTest path " + path + "\n"
std::string testPathLine(std::string_view path);

// A moment in UTC as 2026-12-04 16:05:53 +0000.
std::string standardDateText(Date date);

// What the run footer prints: the machine description block (carries its own line ends), the
// two version texts and the dates of the test, each date only when it is set.
struct RunFooter {
    std::string macType;
    std::string macOSVersion;
    std::string quorlanVersion;
    std::optional<Date> startDate;
    std::optional<Date> endDate;
};

std::string runFooterText(const RunFooter &footer);
void appendRunFooter(LogSink &log, const RunFooter &footer);

} // namespace quorlan
