#include "analysis/RateChartData.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace quorlan {
namespace {

Result result(ResultKind type, std::int64_t size, double time) {
    return Result{type, size, time, static_cast<double>(size) / time};
}

void expectPoint(const RatePoint &p, double size, double rate) {
    EXPECT_DOUBLE_EQ(p.sizeBytes, size);
    EXPECT_DOUBLE_EQ(p.rateBytesPerSecond, rate);
}

TEST(RateChartData, NoResultsGiveNoSeriesAndEmptyRanges) {
    const RateChartData data = rateChartData(Analyser{});
    EXPECT_TRUE(data.series.empty());
    EXPECT_TRUE(data.empty());
    EXPECT_EQ(data.minSize, 0.0);
    EXPECT_EQ(data.maxSize, 0.0);
    EXPECT_EQ(data.maxRate, 0.0);
}

TEST(RateChartData, SeriesComeInTheOrderWriteReadUncachedRead) {
    Analyser analyser;
    analyser.theReads2.push_back(result(ResultKind::UncachedRead, 1000, 1.0));
    analyser.theReads1.push_back(result(ResultKind::Read, 1000, 1.0));
    analyser.theWrites.push_back(result(ResultKind::Write, 1000, 1.0));
    const RateChartData all = rateChartData(analyser);
    ASSERT_EQ(all.series.size(), 3u);
    EXPECT_EQ(all.series[0].kind, ResultKind::Write);
    EXPECT_EQ(all.series[0].name, "Write");
    EXPECT_EQ(all.series[1].kind, ResultKind::Read);
    EXPECT_EQ(all.series[1].name, "Read");
    EXPECT_EQ(all.series[2].kind, ResultKind::UncachedRead);
    EXPECT_EQ(all.series[2].name, "Uncached read");

    analyser.theReads1.clear();
    const RateChartData some = rateChartData(analyser);
    ASSERT_EQ(some.series.size(), 2u);
    EXPECT_EQ(some.series[0].kind, ResultKind::Write);
    EXPECT_EQ(some.series[1].kind, ResultKind::UncachedRead);
}

TEST(RateChartData, PointsInMeasurementOrderAndMediansFromTheMedianTime) {
    Analyser analyser;
    // Size 2000 has times 1 and 3: the median time 2 gives 1000 B/s, where the median of its
    // rates (2000 and 666.7) would give 1333.3. Size 4000: times 1, 4 and 2, median 2.
    for (const auto &[size, time] : std::initializer_list<std::pair<std::int64_t, double>>{
             {4000, 1.0}, {2000, 1.0}, {4000, 4.0}, {2000, 3.0}, {4000, 2.0}})
        analyser.theWrites.push_back(result(ResultKind::Write, size, time));
    const RateChartData data = rateChartData(analyser);
    ASSERT_EQ(data.series.size(), 1u);
    const RateSeries &writes = data.series[0];
    ASSERT_EQ(writes.points.size(), 5u);
    expectPoint(writes.points[0], 4000, 4000);
    expectPoint(writes.points[1], 2000, 2000);
    expectPoint(writes.points[2], 4000, 1000);
    expectPoint(writes.points[3], 2000, 2000.0 / 3.0);
    expectPoint(writes.points[4], 4000, 2000);
    ASSERT_EQ(writes.medians.size(), 2u);
    expectPoint(writes.medians[0], 2000, 1000);
    expectPoint(writes.medians[1], 4000, 2000);
    EXPECT_EQ(writes.dropped, 0u);
    EXPECT_EQ(data.minSize, 2000);
    EXPECT_EQ(data.maxSize, 4000);
    EXPECT_DOUBLE_EQ(data.maxRate, 4000);
}

TEST(RateChartData, FittedRatesFollowAnExactLine) {
    // time = 0.5 + size / 1000: the line is exact, so the fit gives it back.
    Analyser analyser;
    for (const std::int64_t size : {3000, 1000, 2000})
        analyser.theReads1.push_back(
            result(ResultKind::Read, size, 0.5 + static_cast<double>(size) / 1000.0));
    const RateSeries series = rateChartData(analyser).series.at(0);
    ASSERT_EQ(series.fitted.size(), 3u);
    expectPoint(series.fitted[0], 1000, 1000 / 1.5);
    expectPoint(series.fitted[1], 2000, 2000 / 2.5);
    expectPoint(series.fitted[2], 3000, 3000 / 3.5);
    EXPECT_NEAR(series.regressedRate, 500.0, 1e-9); // (1 - 0.5) / 0.001
}

TEST(RateChartData, FittedRatesOnlyWhereTheLineIsPositive) {
    // Times 0.001, 0.5 and 2 s for 1000, 2000 and 3000 bytes: the fitted line is
    // time = -1.1653 + 0.0009995 * size, below zero at 1000 bytes.
    Analyser analyser;
    analyser.theWrites.push_back(result(ResultKind::Write, 1000, 0.001));
    analyser.theWrites.push_back(result(ResultKind::Write, 2000, 0.5));
    analyser.theWrites.push_back(result(ResultKind::Write, 3000, 2.0));
    const RateSeries series = rateChartData(analyser).series.at(0);
    ASSERT_EQ(series.fitted.size(), 2u);
    EXPECT_EQ(series.fitted[0].sizeBytes, 2000);
    EXPECT_EQ(series.fitted[1].sizeBytes, 3000);
    EXPECT_GT(series.fitted[0].rateBytesPerSecond, 0.0);
    EXPECT_EQ(series.medians.size(), 3u);
}

TEST(RateChartData, RangesFollowTheMeasurementsOfAllSeriesNotTheFit) {
    // Times 0.3, 0.5 and 2 s: the line time = -0.7667 + 0.00085 * size gives 12000 B/s at
    // 1000 bytes, three times the fastest measurement.
    Analyser analyser;
    analyser.theWrites.push_back(result(ResultKind::Write, 1000, 0.3));
    analyser.theWrites.push_back(result(ResultKind::Write, 2000, 0.5));
    analyser.theWrites.push_back(result(ResultKind::Write, 3000, 2.0));
    analyser.theReads2.push_back(result(ResultKind::UncachedRead, 500, 0.5));
    analyser.theReads2.push_back(result(ResultKind::UncachedRead, 9000, 1.0));
    const RateChartData data = rateChartData(analyser);
    EXPECT_NEAR(data.series.at(0).fitted.at(0).rateBytesPerSecond, 12000, 1e-6);
    EXPECT_DOUBLE_EQ(data.maxRate, 9000);
    EXPECT_EQ(data.minSize, 500);
    EXPECT_EQ(data.maxSize, 9000);
}

TEST(RateChartData, OneSizeOnlyHasMediansButNoFit) {
    Analyser analyser;
    analyser.theReads2.push_back(result(ResultKind::UncachedRead, 5000, 1.0));
    analyser.theReads2.push_back(result(ResultKind::UncachedRead, 5000, 2.0));
    const RateSeries series = rateChartData(analyser).series.at(0);
    EXPECT_EQ(series.points.size(), 2u);
    ASSERT_EQ(series.medians.size(), 1u);
    expectPoint(series.medians[0], 5000, 5000 / 1.5);
    EXPECT_TRUE(series.fitted.empty());
    EXPECT_TRUE(std::isnan(series.regressedRate));
}

TEST(RateChartData, UndrawableMeasurementsAreCountedAndLeftOutOfEverything) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    Analyser analyser;
    std::vector<Result> &writes = analyser.theWrites;
    writes.push_back(result(ResultKind::Write, 1000, 1.0));
    writes.push_back(Result{ResultKind::Write, 0, 1.0, 0.0});         // empty file
    writes.push_back(Result{ResultKind::Write, 9000, -1.0, -9000.0}); // a failed write
    writes.push_back(Result{ResultKind::Write, -5, 1.0, 1.0});        // negative size
    writes.push_back(Result{ResultKind::Write, 8000, nan, 1.0});      // time not a number
    writes.push_back(Result{ResultKind::Write, 7000, 0.0, inf});      // zero time
    writes.push_back(Result{ResultKind::Write, 6000, 1.0, nan});      // rate not a number
    writes.push_back(result(ResultKind::Write, 2000, 1.0));
    const RateChartData data = rateChartData(analyser);
    const RateSeries &series = data.series.at(0);
    EXPECT_EQ(series.dropped, 6u);
    ASSERT_EQ(series.points.size(), 2u);
    expectPoint(series.points[0], 1000, 1000);
    expectPoint(series.points[1], 2000, 2000);
    ASSERT_EQ(series.medians.size(), 2u);
    // The fit runs through the two kept results only: time = 1 for both sizes.
    ASSERT_EQ(series.fitted.size(), 2u);
    expectPoint(series.fitted[0], 1000, 1000);
    expectPoint(series.fitted[1], 2000, 2000);
    EXPECT_EQ(data.minSize, 1000);
    EXPECT_EQ(data.maxSize, 2000);
    EXPECT_DOUBLE_EQ(data.maxRate, 2000);

    analyser.theWrites = {Result{ResultKind::Write, 0, 0.0, 0.0}};
    const RateChartData nothing = rateChartData(analyser);
    ASSERT_EQ(nothing.series.size(), 1u); // the kind is there, with nothing to draw
    EXPECT_EQ(nothing.series[0].dropped, 1u);
    EXPECT_TRUE(nothing.empty());
    EXPECT_EQ(nothing.maxRate, 0.0);
}

} // namespace
} // namespace quorlan
