#include "analysis/RateChartData.h"

#include "../support/GoldenMatch.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <limits>

namespace quorlan {
namespace {

constexpr double nan = std::numeric_limits<double>::quiet_NaN();
constexpr double inf = std::numeric_limits<double>::infinity();

Result write(std::int64_t size, double time) {
    return Result{ResultKind::Write, size, time, static_cast<double>(size) / time};
}

Result write(std::int64_t size, double time, double rate) {
    return Result{ResultKind::Write, size, time, rate};
}

std::string figure(double x) {
    if (std::isnan(x))
        return "nan"; // of either sign
    char text[32];
    std::snprintf(text, sizeof text, "%.9g", x);
    return text;
}

std::string shown(const std::vector<RatePoint> &points) {
    std::string text;
    for (const RatePoint &p : points)
        text += " " + figure(p.sizeBytes) + ":" + figure(p.rateBytesPerSecond);
    return text + "\n";
}

// Everything the chart is given: each series with its points, medians, fitted rates, regressed
// rate and count of dropped measurements, then the ranges.
std::string shown(const RateChartData &data) {
    std::string text;
    for (const RateSeries &s : data.series)
        text += s.name + " (" + std::to_string(resultTypeCode(s.kind)) + "), " +
                std::to_string(s.dropped) + " dropped, regressed " + figure(s.regressedRate) +
                "\n  points" + shown(s.points) + "  medians" + shown(s.medians) + "  fitted" +
                shown(s.fitted);
    return text + "sizes " + figure(data.minSize) + " to " + figure(data.maxSize) + ", rates to " +
           figure(data.maxRate) + (data.empty() ? ", empty\n" : "\n");
}

// Series in the order write, read, uncached read, only those with results. The median of a size
// is size / its median time (size 2000 at times 1 and 3: 1000 B/s, not the median of its rates).
// Fitted rates only where the line is positive (time = 2.501 / 3 + 0.0009995 * (size - 2000) is
// below zero at 1000 bytes), and the ranges follow the measurements of all series, not the fit
// (time = 2.8 / 3 + 0.00085 * (size - 2000) gives 12000 B/s at 1000 bytes). One size has medians
// but no fit. Zero, negative and non-finite figures are counted and left out of everything.
TEST(RateChartData, ChartDataMatchesItsSnapshot) {
    struct Case {
        std::vector<Result> writes = {};
        std::vector<Result> reads = {};
        std::vector<Result> uncachedReads = {};
    };
    const Result read{ResultKind::Read, 1000, 1.0, 1000.0};
    const Result uncached{ResultKind::UncachedRead, 1000, 1.0, 1000.0};
    const Result uncached500{ResultKind::UncachedRead, 500, 0.5, 1000.0};
    const Result uncached9000{ResultKind::UncachedRead, 9000, 1.0, 9000.0};
    const Case cases[] = {
        {},
        {{write(1000, 1.0)}, {read}, {uncached}},
        {{write(1000, 1.0)}, {}, {uncached}},
        {{write(4000, 1.0), write(2000, 1.0), write(4000, 4.0), write(2000, 3.0),
          write(4000, 2.0)}},
        {{write(3000, 3.5), write(1000, 1.5), write(2000, 2.5)}},
        {{write(1000, 0.001), write(2000, 0.5), write(3000, 2.0)}},
        {{write(1000, 0.3), write(2000, 0.5), write(3000, 2.0)}, {}, {uncached500, uncached9000}},
        {{},
         {},
         {{ResultKind::UncachedRead, 5000, 1.0, 5000.0},
          {ResultKind::UncachedRead, 5000, 2.0, 2500.0}}},
        {{write(1000, 1.0), write(0, 1.0), write(9000, -1.0), write(-5, 1.0, 1.0),
          write(8000, nan, 1.0), write(7000, 0.0, inf), write(6000, 1.0, nan), write(2000, 1.0)}},
        {{write(0, 0.0, 0.0)}}};
    std::string text;
    for (const Case &c : cases) {
        Analyser analyser;
        analyser.theWrites = c.writes;
        analyser.theReads1 = c.reads;
        analyser.theReads2 = c.uncachedReads;
        text += shown(rateChartData(analyser)) + "\n";
    }
    EXPECT_TRUE(testing::matchesSnapshot(text, "rate-chart-data.txt"));
}

} // namespace
} // namespace quorlan
