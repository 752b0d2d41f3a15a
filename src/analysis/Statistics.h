#pragma once

#include "analysis/Result.h"

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quorlan {

// Text of a byte count in decimal (1000-based) units, two decimals:
//   0 -> "0 bytes", 1 -> "1 byte", 999 -> "999 bytes", 1000 -> "1.00 kB",
//   999999 -> "1.00 MB", 1500000000 -> "1.50 GB",
//   INT64_MAX -> "9.22 EB", negatives as their magnitude with a leading "-"
//   (-1500 -> "-1.50 kB", INT64_MIN -> "-9.22 EB").
// Units are bytes, kB, MB, GB, TB, PB and EB; the unit is picked after
// rounding, so a count never reads as "1000.00" of a smaller unit.
std::string formatByteCount(std::int64_t n);

// Truncates toward zero. No value for NaN, infinities and anything outside
// [-2^63, 2^63).
std::optional<std::int64_t> wholeBytes(double x);

// What rateText gives for a figure that has none.
inline constexpr std::string_view notAvailableText = "n/a";

// formatByteCount of the truncated figure followed by suffix, or notAvailableText
// when the figure has no whole-byte value.
std::string rateText(double rate, std::string_view suffix = "/s");

// Mean of the rates; NaN for an empty list.
double meanRate(const std::vector<Result> &list);
double meanRate(const std::vector<double> &rates);

// The median, the slowest and the fastest of the list's rates, in bytes per second: the figures
// of its median line. The median of an even count is the mean of the middle two. All three are
// NaN for an empty list.
struct RateSpread {
    double median;
    double slowest;
    double fastest;
};
RateSpread rateSpread(const std::vector<Result> &list);

// "median = M/second (S/s - F/s)\n" over the rates of the list (rateSpread).
std::string medianLine(const std::vector<Result> &list);

// The p-quantile (0 <= p <= 1) of an ascending list of finite figures by linear interpolation
// between its order statistics (the common "type 7"): at position (n - 1) p counted from 0, the
// figure there, or the point that far between the two figures around it. NaN for an empty list.
double sortedQuantile(const std::vector<double> &ascending, double p);

// The median time of the results of each size of the list, all found in one O(n log n) pass, so
// that a run of many thousand distinct sizes stays fast.
class MedianTimes {
public:
    explicit MedianTimes(const std::vector<Result> &list);
    // Median time of the results of exactly this size (the mean of the middle two for an even
    // count); NaN when there are none.
    double forSize(std::int64_t size) const;

private:
    std::map<std::int64_t, double> bySize_;
};

// The least-squares line time = intercept + slope * size over the results: intercept in seconds,
// slope in seconds per byte. No value when the list is empty or all its sizes are equal.
struct LeastSquaresLine {
    double intercept;
    double slope;
};
std::optional<LeastSquaresLine> leastSquaresLine(const std::vector<Result> &list);

// Size moved in one second by the least-squares line time = a + b * size.
// NaN when the list is empty or all its sizes are equal.
double regressedRate(const std::vector<Result> &list);

} // namespace quorlan
