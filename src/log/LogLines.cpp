#include "log/LogLines.h"

#include "log/LogSink.h"

#include <array>
#include <charconv>
#include <cmath>
#include <ctime>
#include <limits>

namespace quorlan {

std::string columnHeaderLine() {
    return "type,size,time,rate\n";
}

std::string formatTime(double seconds) {
    std::array<char, 64> buffer{};
    const double magnitude = std::fabs(seconds);
    const bool plain = seconds == 0.0 || (magnitude >= 1e-4 && magnitude < 1e16);
    const auto format = plain ? std::chars_format::fixed : std::chars_format::scientific;
    const auto [end, error] =
        std::to_chars(buffer.data(), buffer.data() + buffer.size(), seconds, format);
    std::string text(buffer.data(), error == std::errc{} ? end : buffer.data());
    if (plain && text.find('.') == std::string::npos && std::isfinite(seconds))
        text += ".0";
    return text;
}

std::int64_t wholeRate(double rate) {
    if (std::isnan(rate))
        return 0;
    constexpr double limit = 9223372036854775808.0; // 2^63
    if (rate >= limit)
        return std::numeric_limits<std::int64_t>::max();
    if (rate < -limit)
        return std::numeric_limits<std::int64_t>::min();
    return static_cast<std::int64_t>(rate);
}

std::string measurementLine(std::string_view kind, std::int64_t size, double seconds) {
    std::string line(kind);
    line += ',';
    line += std::to_string(size);
    line += ',';
    line += formatTime(seconds);
    line += ',';
    line += std::to_string(wholeRate(static_cast<double>(size) / seconds));
    line += '\n';
    return line;
}

std::string testPathLine(std::string_view path) {
    std::string line = "\nTest path ";
    line += path;
    line += '\n';
    return line;
}

std::string standardDateText(Date date) {
    const std::time_t seconds = std::chrono::system_clock::to_time_t(date);
    std::tm utc{};
    gmtime_r(&seconds, &utc);
    std::array<char, 64> buffer{};
    const std::size_t length =
        std::strftime(buffer.data(), buffer.size(), "%Y-%m-%d %H:%M:%S +0000", &utc);
    return std::string(buffer.data(), length);
}

std::string runFooterText(const RunFooter &footer) {
    std::string text = footer.macType;
    text += "Running macOS version " + footer.macOSVersion + "\n";
    text += "Quorlan version " + footer.quorlanVersion + "\n";
    if (footer.startDate)
        text += "Started at " + standardDateText(*footer.startDate) + "\n";
    if (footer.endDate)
        text += "Ended at " + standardDateText(*footer.endDate) + "\n";
    text += "\n\n";
    return text;
}

void appendRunFooter(LogSink &log, const RunFooter &footer) {
    log.appendToLog(runFooterText(footer));
}

} // namespace quorlan
