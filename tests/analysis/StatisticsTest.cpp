#include "analysis/Statistics.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace quorlan {
namespace {

constexpr double nan = std::numeric_limits<double>::quiet_NaN();
constexpr double inf = std::numeric_limits<double>::infinity();
constexpr std::int64_t lowest = std::numeric_limits<std::int64_t>::min();
constexpr std::int64_t highest = std::numeric_limits<std::int64_t>::max();

Result read(std::int64_t size, double time) {
    return Result{ResultKind::Read, size, time, static_cast<double>(size) / time};
}

std::vector<Result> withRates(const std::vector<double> &rates) {
    std::vector<Result> list;
    for (const double rate : rates)
        list.push_back(Result{ResultKind::Read, 1000, 1.0, rate});
    return list;
}

// Singular below 1000; the unit is picked after rounding; negatives read like positives.
TEST(FormatByteCount, UnitsSignsAndRounding) {
    const std::pair<std::int64_t, const char *> cases[] = {
        {0, "0 bytes"},          {1, "1 byte"},
        {999, "999 bytes"},      {1000, "1.00 kB"},
        {999994, "999.99 kB"},   {999995, "1.00 MB"},
        {999999, "1.00 MB"},     {999999999, "1.00 GB"},
        {1500000000, "1.50 GB"}, {-1, "-1 byte"},
        {-999, "-999 bytes"},    {-1500, "-1.50 kB"},
        {-999999, "-1.00 MB"},   {highest, "9.22 EB"},
        {lowest, "-9.22 EB"},    {999995000000000000, "1.00 EB"}};
    for (const auto &[count, text] : cases)
        EXPECT_EQ(formatByteCount(count), text) << count;
}

// Around -2^63: the next double below it has no value; the largest double below 2^63 has.
TEST(WholeBytes, TruncatesTowardZeroWithinTheRange) {
    for (const double outside : {nan, inf, -inf, 9223372036854775808.0, -9223372036854777856.0})
        EXPECT_FALSE(wholeBytes(outside)) << outside;
    for (const auto &[x, bytes] : {std::pair<double, std::int64_t>{2.9, 2},
                                   {-2.9, -2},
                                   {0.0, 0},
                                   {-9223372036854775808.0, lowest},
                                   {9223372036854774784.0, 9223372036854774784}})
        EXPECT_EQ(wholeBytes(x), bytes) << x;
}

// The median of an even count is the mean of the middle two; figures are truncated; one out of
// range is n/a.
TEST(MedianLine, MedianSlowestAndFastest) {
    const std::pair<std::vector<double>, const char *> cases[] = {
        {{10, 40, 20, 30}, "median = 25 bytes/second (10 bytes/s - 40 bytes/s)\n"},
        {{1e8, 1.2e8, 9e7}, "median = 100.00 MB/second (90.00 MB/s - 120.00 MB/s)\n"},
        {{2.5e8}, "median = 250.00 MB/second (250.00 MB/s - 250.00 MB/s)\n"},
        {{99.9}, "median = 99 bytes/second (99 bytes/s - 99 bytes/s)\n"},
        {{1e20, 10.0, 3e19}, "median = n/a (10 bytes/s - n/a)\n"},
        {{}, "median = n/a (n/a - n/a)\n"}};
    for (const auto &[rates, line] : cases)
        EXPECT_EQ(medianLine(withRates(rates)), line);
    const RateSpread even = rateSpread(withRates({10.5, 40, 20, 30}));
    EXPECT_TRUE(even.median == 25.0 && even.slowest == 10.5 && even.fastest == 40.0);
    EXPECT_EQ(rateSpread(withRates({3, 1, 2})).median, 2.0);
}

TEST(MedianTimes, IgnoresOtherSizesAndAveragesMiddleTimes) {
    const MedianTimes medians({read(1000, 0.4), read(2000, 9.0), read(1000, 0.1), read(500, 7.0),
                               read(1000, 0.3), read(2000, 1.0), read(1000, 0.2), read(2000, 5.0)});
    EXPECT_DOUBLE_EQ(medians.forSize(1000), 0.25);
    EXPECT_DOUBLE_EQ(medians.forSize(2000), 5.0);
    EXPECT_DOUBLE_EQ(medians.forSize(500), 7.0);
    EXPECT_TRUE(std::isnan(medians.forSize(3000)) && std::isnan(MedianTimes({}).forSize(1000)));
}

// The size the least-squares line moves in one second; no value without two sizes.
TEST(RegressedRate, SizeMovedInOneSecondByTheFittedLine) {
    const std::int64_t big = 4000000000; // sizes squared as floats, not integers
    const std::pair<std::vector<Result>, double> cases[] = {
        {{read(2000000, 0.02), read(4000000, 0.03)}, 198000000.0},
        {{read(1000000, 2.0), read(2000000, 1.5)}, 3000000.0},   // the time falls with size
        {{read(1000000, 0.5), read(2000000, 0.25)}, -1000000.0}, // ... below one second
        {{read(big, 0.01 + big / 2e8), read(2 * big, 0.01 + 2 * big / 2e8)}, 198000000.0},
        {{read(2000000, 0.02), read(2000000, 0.03)}, nan},
        {{read(2000000, 0.02)}, nan},
        {{}, nan}};
    for (const auto &[list, rate] : cases) {
        if (std::isnan(rate))
            EXPECT_TRUE(std::isnan(regressedRate(list))) << list.size();
        else
            EXPECT_NEAR(regressedRate(list), rate, 1.0);
    }
}

// Type 7: position (n - 1) p, between the order statistics around it; the ends are the extremes.
TEST(SortedQuantile, InterpolatesBetweenOrderStatistics) {
    const struct {
        std::vector<double> ascending;
        double p, quantile;
    } cases[] = {
        {{1, 2, 3, 4}, 0.25, 1.75},
        {{1, 2, 3, 4}, 0.75, 3.25},
        {{10, 20, 30, 40, 50}, 0.25, 20},
        {{10, 20, 30, 40, 50}, 0.75, 40},
        {{2, 6}, 0.5, 4},
        {{2, 6}, 0.0, 2},
        {{2, 6}, 1.0, 6},
        {{7}, 0.25, 7},
        {{7}, 1.0, 7},
    };
    for (const auto &c : cases)
        EXPECT_DOUBLE_EQ(sortedQuantile(c.ascending, c.p), c.quantile) << c.p;
    EXPECT_TRUE(std::isnan(sortedQuantile({}, 0.5)));
}

} // namespace
} // namespace quorlan
