#pragma once

#include "analysis/Analyser.h"
#include "analysis/ResultKind.h"

#include <cstdint>
#include <string>
#include <vector>

namespace quorlan {

// One point of the rate chart: a file size in bytes and a rate in bytes per second.
struct RatePoint {
    double sizeBytes;
    double rateBytesPerSecond;
};

// What the chart shows of one kind of result (write, regular read, uncached read).
// Only measurements with a positive, finite size, time and rate are kept; every figure below
// is computed from the kept ones alone.
struct RateSeries {
    ResultKind kind = ResultKind::Read;
    std::string name; // the kind's name in the chart: "Write", "Read" or "Uncached read"
    std::vector<RatePoint> points; // every kept measurement, in measurement order
    // Per distinct size, ascending: size / median time of that size (the report's per-size rate).
    std::vector<RatePoint> medians;
    // Per distinct size, ascending: size / (intercept + slope * size) of the least-squares line,
    // only where that is positive and finite; empty when there is no line (fewer than two sizes).
    std::vector<RatePoint> fitted;
    double regressedRate = 0.0; // bytes per second, NaN when there is no line
    std::size_t dropped = 0;    // measurements left out: zero, negative or non-finite figures
};

// The chart's data: a series for each kind the analyser holds results of, in the order write,
// read, uncached read, and the ranges the axes should cover: those of the kept measurements of
// all series (all zero when nothing is kept). Medians never lie outside them; fitted rates may.
struct RateChartData {
    std::vector<RateSeries> series;
    double minSize = 0.0; // bytes, smallest kept size
    double maxSize = 0.0; // bytes, largest kept size
    double maxRate = 0.0; // bytes per second, largest kept measured rate

    // True when no series holds a point to draw.
    bool empty() const;
};

RateChartData rateChartData(const Analyser &analyser);

// The chart's name of a kind: "Write", "Read" or "Uncached read"; "Unknown" for a code of no
// known kind.
const char *rateSeriesName(ResultKind kind);

} // namespace quorlan
