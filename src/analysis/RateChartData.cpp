#include "analysis/RateChartData.h"

#include "analysis/Statistics.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <set>

namespace quorlan {

namespace {

bool positiveFinite(double x) {
    return std::isfinite(x) && x > 0.0;
}

// A log size axis and a rate cannot show a zero, negative or non-finite figure.
bool drawable(const Result &r) {
    return r.size > 0 && positiveFinite(r.time) && positiveFinite(r.rate);
}

std::vector<RatePoint> medianRates(const std::vector<Result> &kept,
                                   const std::set<std::int64_t> &sizes) {
    std::vector<RatePoint> medians;
    const MedianTimes medianTimes(kept);
    for (const std::int64_t size : sizes) {
        const double time = medianTimes.forSize(size);
        const double rate = static_cast<double>(size) / time;
        if (positiveFinite(rate))
            medians.push_back({static_cast<double>(size), rate});
    }
    return medians;
}

std::vector<RatePoint> fittedRates(const std::vector<Result> &kept,
                                   const std::set<std::int64_t> &sizes) {
    std::vector<RatePoint> fitted;
    const std::optional<LeastSquaresLine> line = leastSquaresLine(kept);
    if (!line)
        return fitted;
    for (const std::int64_t size : sizes) {
        const double s = static_cast<double>(size);
        const double rate = s / (line->intercept + line->slope * s);
        if (positiveFinite(rate))
            fitted.push_back({s, rate});
    }
    return fitted;
}

RateSeries makeSeries(ResultKind kind, std::string name, const std::vector<Result> &results) {
    RateSeries series;
    series.kind = kind;
    series.name = std::move(name);
    std::vector<Result> kept;
    std::set<std::int64_t> sizes;
    for (const Result &r : results) {
        if (!drawable(r)) {
            ++series.dropped;
            continue;
        }
        kept.push_back(r);
        sizes.insert(r.size);
        series.points.push_back({static_cast<double>(r.size), r.rate});
    }
    series.medians = medianRates(kept, sizes);
    series.fitted = fittedRates(kept, sizes);
    series.regressedRate = regressedRate(kept);
    return series;
}

void widenRanges(RateChartData &data, const RateSeries &series) {
    const auto widen = [&data](const std::vector<RatePoint> &points) {
        for (const RatePoint &p : points) {
            if (data.minSize == 0.0 || p.sizeBytes < data.minSize)
                data.minSize = p.sizeBytes;
            data.maxSize = std::max(data.maxSize, p.sizeBytes);
            data.maxRate = std::max(data.maxRate, p.rateBytesPerSecond);
        }
    };
    // A fitted rate can run far above every measurement where the line nears zero time; the
    // axes follow the measurements and the chart clips the rest.
    widen(series.points);
}

} // namespace

bool RateChartData::empty() const {
    return std::all_of(series.begin(), series.end(),
                       [](const RateSeries &s) { return s.points.empty(); });
}

const char *rateSeriesName(ResultKind kind) {
    switch (kind) {
    case ResultKind::Write:
        return "Write";
    case ResultKind::Read:
        return "Read";
    case ResultKind::UncachedRead:
        return "Uncached read";
    }
    return "Unknown";
}

RateChartData rateChartData(const Analyser &analyser) {
    RateChartData data;
    // The kinds in the order the series are drawn.
    const struct {
        ResultKind kind;
        const std::vector<Result> &results;
    } kinds[] = {{ResultKind::Write, analyser.theWrites},
                 {ResultKind::Read, analyser.theReads1},
                 {ResultKind::UncachedRead, analyser.theReads2}};
    for (const auto &kind : kinds) {
        if (kind.results.empty())
            continue;
        data.series.push_back(makeSeries(kind.kind, rateSeriesName(kind.kind), kind.results));
        widenRanges(data, data.series.back());
    }
    return data;
}

} // namespace quorlan
