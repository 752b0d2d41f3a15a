#include "analysis/RateChartData.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace quorlan {
namespace {

using Points = std::vector<std::pair<double, double>>; // size in bytes, rate in bytes per second

Result result(ResultKind type, std::int64_t size, double time) {
    return Result{type, size, time, static_cast<double>(size) / time};
}

// Results of one kind from (size, time) pairs, in this order.
std::vector<Result> results(ResultKind type,
                            const std::vector<std::pair<std::int64_t, double>> &measurements) {
    std::vector<Result> list;
    for (const auto &[size, time] : measurements)
        list.push_back(result(type, size, time));
    return list;
}

void expectPoints(const std::vector<RatePoint> &actual, const Points &expected) {
    ASSERT_EQ(actual.size(), expected.size());
    for (std::size_t i = 0; i < actual.size(); ++i) {
        EXPECT_EQ(actual[i].sizeBytes, expected[i].first) << i;
        EXPECT_NEAR(actual[i].rateBytesPerSecond, expected[i].second, 1e-9 * expected[i].second)
            << i;
    }
}

TEST(RateChartData, SeriesComeInTheOrderWriteReadUncachedRead) {
    const RateChartData none = rateChartData(Analyser{});
    EXPECT_TRUE(none.series.empty() && none.empty());
    EXPECT_TRUE(none.minSize == 0.0 && none.maxSize == 0.0 && none.maxRate == 0.0);
    Analyser analyser;
    analyser.theReads2 = results(ResultKind::UncachedRead, {{1000, 1.0}});
    analyser.theWrites = results(ResultKind::Write, {{1000, 1.0}});
    for (const bool withReads : {false, true}) {
        analyser.theReads1 =
            withReads ? results(ResultKind::Read, {{1000, 1.0}}) : std::vector<Result>{};
        std::string shown;
        for (const RateSeries &series : rateChartData(analyser).series)
            shown += series.name + " " + std::to_string(resultTypeCode(series.kind)) + ", ";
        EXPECT_EQ(shown,
                  withReads ? "Write 2, Read 0, Uncached read 1, " : "Write 2, Uncached read 1, ");
    }
}

TEST(RateChartData, PointsInMeasurementOrderAndMediansFromTheMedianTime) {
    Analyser analyser;
    // Size 2000 has times 1 and 3: the median time 2 gives 1000 B/s, where the median of its
    // rates (2000 and 666.7) would give 1333.3. Size 4000: times 1, 4 and 2, median 2.
    analyser.theWrites = results(ResultKind::Write,
                                 {{4000, 1.0}, {2000, 1.0}, {4000, 4.0}, {2000, 3.0}, {4000, 2.0}});
    const RateChartData data = rateChartData(analyser);
    ASSERT_EQ(data.series.size(), 1u);
    const RateSeries &writes = data.series[0];
    expectPoints(writes.points,
                 {{4000, 4000}, {2000, 2000}, {4000, 1000}, {2000, 2000.0 / 3.0}, {4000, 2000}});
    expectPoints(writes.medians, {{2000, 1000}, {4000, 2000}});
    EXPECT_EQ(writes.dropped, 0u);
    EXPECT_TRUE(data.minSize == 2000 && data.maxSize == 4000 && data.maxRate == 4000);
}

// The fit's rates where its line is positive; the axes follow the measurements of all series,
// not the fit.
TEST(RateChartData, FittedRatesOnlyWhereTheLineIsPositive) {
    struct Case {
        std::vector<std::pair<std::int64_t, double>> writes; // size, time
        Points fitted;
        double regressedRate; // bytes moved in one second by the line
        double maxRate;       // the fastest measurement of the writes and the reads
    };
    const Case cases[] = {
        // time = 0.5 + size / 1000 exactly.
        {{{3000, 3.5}, {1000, 1.5}, {2000, 2.5}},
         {{1000, 1000 / 1.5}, {2000, 2000 / 2.5}, {3000, 3000 / 3.5}},
         500,
         9000},
        // time = 2.501 / 3 + 0.0009995 * (size - 2000), below zero at 1000 bytes.
        {{{1000, 0.001}, {2000, 0.5}, {3000, 2.0}},
         {{2000, 2000 / (2.501 / 3)}, {3000, 3000 / (2.501 / 3 + 0.9995)}},
         (1 - (2.501 / 3 - 1.999)) / 0.0009995,
         1e6},
        // time = 2.8 / 3 + 0.00085 * (size - 2000): 12000 B/s at 1000 bytes, above every
        // measurement.
        {{{1000, 0.3}, {2000, 0.5}, {3000, 2.0}},
         {{1000, 12000}, {2000, 2000 / (2.8 / 3)}, {3000, 3000 / (2.8 / 3 + 0.85)}},
         (1 - (2.8 / 3 - 1.7)) / 0.00085,
         9000}};
    for (const Case &c : cases) {
        Analyser analyser;
        analyser.theWrites = results(ResultKind::Write, c.writes);
        analyser.theReads2 = results(ResultKind::UncachedRead, {{500, 0.5}, {9000, 1.0}});
        const RateChartData data = rateChartData(analyser);
        expectPoints(data.series.at(0).fitted, c.fitted);
        EXPECT_NEAR(data.series.at(0).regressedRate, c.regressedRate, 1e-9 * c.regressedRate);
        EXPECT_EQ(data.series.at(0).medians.size(), 3u);
        EXPECT_TRUE(data.minSize == 500 && data.maxSize == 9000 && data.maxRate == c.maxRate);
    }
}

TEST(RateChartData, OneSizeOnlyHasMediansButNoFit) {
    Analyser analyser;
    analyser.theReads2 = results(ResultKind::UncachedRead, {{5000, 1.0}, {5000, 2.0}});
    const RateSeries series = rateChartData(analyser).series.at(0);
    EXPECT_EQ(series.points.size(), 2u);
    expectPoints(series.medians, {{5000, 5000 / 1.5}});
    EXPECT_TRUE(series.fitted.empty());
    EXPECT_TRUE(std::isnan(series.regressedRate));
}

TEST(RateChartData, UndrawableMeasurementsAreCountedAndLeftOutOfEverything) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    Analyser analyser;
    analyser.theWrites = {result(ResultKind::Write, 1000, 1.0),
                          Result{ResultKind::Write, 0, 1.0, 0.0},         // empty file
                          Result{ResultKind::Write, 9000, -1.0, -9000.0}, // a failed write
                          Result{ResultKind::Write, -5, 1.0, 1.0},        // negative size
                          Result{ResultKind::Write, 8000, nan, 1.0},      // time not a number
                          Result{ResultKind::Write, 7000, 0.0, inf},      // zero time
                          Result{ResultKind::Write, 6000, 1.0, nan},      // rate not a number
                          result(ResultKind::Write, 2000, 1.0)};
    const RateChartData data = rateChartData(analyser);
    const RateSeries &series = data.series.at(0);
    EXPECT_EQ(series.dropped, 6u);
    expectPoints(series.points, {{1000, 1000}, {2000, 2000}});
    expectPoints(series.medians, {{1000, 1000}, {2000, 2000}});
    // The fit runs through the two kept results only: time = 1 for both sizes.
    expectPoints(series.fitted, {{1000, 1000}, {2000, 2000}});
    EXPECT_TRUE(data.minSize == 1000 && data.maxSize == 2000 && data.maxRate == 2000);

    analyser.theWrites = {Result{ResultKind::Write, 0, 0.0, 0.0}};
    const RateChartData nothing = rateChartData(analyser);
    ASSERT_EQ(nothing.series.size(), 1u); // the kind is there, with nothing to draw
    EXPECT_EQ(nothing.series[0].dropped, 1u);
    EXPECT_TRUE(nothing.empty());
    EXPECT_EQ(nothing.maxRate, 0.0);
}

} // namespace
} // namespace quorlan
