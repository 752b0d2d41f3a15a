#include "analysis/Statistics.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace quorlan {
namespace {

Result read(std::int64_t size, double time) {
    return Result{ResultKind::Read, size, time, static_cast<double>(size) / time};
}

Result withRate(double rate) {
    return Result{ResultKind::Read, 1000, 1.0, rate};
}

TEST(FormatByteCount, SmallCountsInBytes) {
    EXPECT_EQ(formatByteCount(0), "0 bytes");
    EXPECT_EQ(formatByteCount(1), "1 byte");
    EXPECT_EQ(formatByteCount(99), "99 bytes");
    EXPECT_EQ(formatByteCount(999), "999 bytes");
}

TEST(FormatByteCount, DecimalUnitsWithTwoDecimals) {
    EXPECT_EQ(formatByteCount(1000), "1.00 kB");
    EXPECT_EQ(formatByteCount(1500000000), "1.50 GB");
    EXPECT_EQ(formatByteCount(999994), "999.99 kB");
    EXPECT_EQ(formatByteCount(std::numeric_limits<std::int64_t>::max()), "9.22 EB");
}

TEST(FormatByteCount, UnitChosenAfterRounding) {
    EXPECT_NE(formatByteCount(999999), "1000.00 kB");
    EXPECT_EQ(formatByteCount(999999), "1.00 MB");
    EXPECT_EQ(formatByteCount(999995), "1.00 MB");
    EXPECT_EQ(formatByteCount(999999999), "1.00 GB");
    EXPECT_EQ(formatByteCount(999995000000000000), "1.00 EB");
}

TEST(FormatByteCount, NegativesReadLikePositives) {
    EXPECT_EQ(formatByteCount(-1), "-1 byte");
    EXPECT_EQ(formatByteCount(-999), "-999 bytes");
    EXPECT_EQ(formatByteCount(-1500), "-1.50 kB");
    EXPECT_EQ(formatByteCount(-999999), "-1.00 MB");
    EXPECT_EQ(formatByteCount(std::numeric_limits<std::int64_t>::min()), "-9.22 EB");
}

TEST(WholeBytes, TruncatesTowardZero) {
    EXPECT_EQ(wholeBytes(2.9), 2);
    EXPECT_EQ(wholeBytes(-2.9), -2);
    EXPECT_EQ(wholeBytes(99.9), 99);
    EXPECT_EQ(wholeBytes(0.0), 0);
}

TEST(WholeBytes, NoValueOutsideRange) {
    EXPECT_FALSE(wholeBytes(std::numeric_limits<double>::quiet_NaN()));
    EXPECT_FALSE(wholeBytes(std::numeric_limits<double>::infinity()));
    EXPECT_FALSE(wholeBytes(-std::numeric_limits<double>::infinity()));
    EXPECT_FALSE(wholeBytes(9223372036854775808.0));
    EXPECT_EQ(wholeBytes(-9223372036854775808.0), std::numeric_limits<std::int64_t>::min());
    EXPECT_FALSE(wholeBytes(-9223372036854777856.0));                  // next double below -2^63
    EXPECT_EQ(wholeBytes(9223372036854774784.0), 9223372036854774784); // largest double below 2^63
}

TEST(RateText, FigureWithoutValueIsNotAvailable) {
    EXPECT_EQ(rateText(99.9), "99 bytes/s");
    EXPECT_EQ(rateText(2500000.0, "/second"), "2.50 MB/second");
    EXPECT_EQ(rateText(std::numeric_limits<double>::quiet_NaN()), "n/a");
    EXPECT_EQ(rateText(1e300, "/second"), "n/a");
}

TEST(MeanRate, AveragesInListOrder) {
    EXPECT_DOUBLE_EQ(meanRate(std::vector<Result>{read(2000000, 0.02), read(4000000, 0.03)}),
                     (100000000.0 + 4000000.0 / 0.03) / 2.0);
    EXPECT_DOUBLE_EQ(meanRate(std::vector<double>{10.0, 20.0, 60.0}), 30.0);
}

TEST(MeanRate, EmptyListHasNoValue) {
    EXPECT_TRUE(std::isnan(meanRate(std::vector<Result>{})));
    EXPECT_TRUE(std::isnan(meanRate(std::vector<double>{})));
}

TEST(MedianLine, EvenCountAveragesMiddlePair) {
    const std::vector<Result> list{withRate(10), withRate(40), withRate(20), withRate(30)};
    EXPECT_EQ(medianLine(list), "median = 25 bytes/second (10 bytes/s - 40 bytes/s)\n");
}

TEST(MedianLine, OddCountTakesMiddle) {
    const std::vector<Result> list{withRate(100000000), withRate(120000000), withRate(90000000)};
    EXPECT_EQ(medianLine(list), "median = 100.00 MB/second (90.00 MB/s - 120.00 MB/s)\n");
}

TEST(MedianLine, SingleResultRepeatsItsRate) {
    EXPECT_EQ(medianLine({withRate(250000000.0)}),
              "median = 250.00 MB/second (250.00 MB/s - 250.00 MB/s)\n");
}

TEST(MedianLine, FiguresAreTruncatedNotRounded) {
    EXPECT_EQ(medianLine({withRate(99.9)}), "median = 99 bytes/second (99 bytes/s - 99 bytes/s)\n");
}

TEST(MedianLine, FigureOutOfRangeIsNotAvailable) {
    EXPECT_EQ(medianLine({withRate(1e20), withRate(10.0), withRate(3e19)}),
              "median = n/a (10 bytes/s - n/a)\n");
}

TEST(RateSpread, MedianLineFiguresUnformattedAndNoValueWhenEmpty) {
    const RateSpread even = rateSpread({withRate(10.5), withRate(40), withRate(20), withRate(30)});
    EXPECT_EQ(even.median, 25.0);
    EXPECT_EQ(even.slowest, 10.5);
    EXPECT_EQ(even.fastest, 40.0);
    const RateSpread odd = rateSpread({withRate(3), withRate(1), withRate(2)});
    EXPECT_EQ(odd.median, 2.0);
    const RateSpread none = rateSpread({});
    EXPECT_TRUE(std::isnan(none.median) && std::isnan(none.slowest) && std::isnan(none.fastest));
    EXPECT_EQ(medianLine({}), "median = n/a (n/a - n/a)\n");
}

TEST(MedianTimes, IgnoresOtherSizesAndAveragesMiddleTimes) {
    const std::vector<Result> list{read(1000, 0.4), read(2000, 9.0), read(1000, 0.1),
                                   read(500, 7.0),  read(1000, 0.3), read(2000, 1.0),
                                   read(1000, 0.2), read(2000, 5.0)};
    const MedianTimes medians(list);
    EXPECT_DOUBLE_EQ(medians.forSize(1000), (0.2 + 0.3) * 0.5);
    EXPECT_DOUBLE_EQ(medians.forSize(2000), 5.0);
    EXPECT_DOUBLE_EQ(medians.forSize(500), 7.0);
    EXPECT_TRUE(std::isnan(medians.forSize(3000)));
    EXPECT_TRUE(std::isnan(medians.forSize(0)));
    EXPECT_TRUE(std::isnan(MedianTimes({}).forSize(1000)));
}

TEST(RegressedRate, PointsOnLineGiveRateAtOneSecond) {
    const std::vector<Result> list{read(2000000, 0.02), read(4000000, 0.03)};
    EXPECT_EQ(regressedRate(list), 198000000.0);
    EXPECT_EQ(rateText(regressedRate(list)), "198.00 MB/s");
    EXPECT_NEAR(meanRate(list), 116666666.67, 0.01);
}

TEST(RegressedRate, SingleSizeHasNoValue) {
    EXPECT_TRUE(std::isnan(regressedRate({read(2000000, 0.02)})));
    EXPECT_TRUE(std::isnan(regressedRate({read(2000000, 0.02), read(2000000, 0.03)})));
    EXPECT_TRUE(std::isnan(regressedRate({})));
}

TEST(RegressedRate, NegativeRateStillFormatted) {
    // Time falls with size: slope negative.
    const std::vector<Result> list{read(1000000, 2.0), read(2000000, 1.5)};
    // b = -0.5 / 1e6, a = 2.5 -> (1 - 2.5) / b = 3000000.
    EXPECT_NEAR(regressedRate(list), 3000000.0, 1e-3);
    const std::vector<Result> falling{read(1000000, 0.5), read(2000000, 0.25)};
    // b = -0.25 / 1e6, a = 0.75 -> (1 - 0.75) / b = -1000000.
    EXPECT_NEAR(regressedRate(falling), -1000000.0, 1e-3);
    EXPECT_EQ(rateText(regressedRate(falling) - 0.5), "-1.00 MB/s");
}

TEST(RegressedRate, HugeSizesSquaredAsFloats) {
    const std::int64_t big = 4000000000;
    const std::vector<Result> list{read(big, 0.01 + 4000000000.0 / 200000000.0),
                                   read(2 * big, 0.01 + 8000000000.0 / 200000000.0)};
    EXPECT_NEAR(regressedRate(list), 198000000.0, 1.0);
}

} // namespace
} // namespace quorlan
