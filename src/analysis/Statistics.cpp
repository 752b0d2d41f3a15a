#include "analysis/Statistics.h"

#include <QLocale>
#include <QString>

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>

namespace quorlan {

namespace {

constexpr std::string_view kMissing = notAvailableText;

// Median of an already sorted list; NaN when empty.
double sortedMedian(const std::vector<double> &sorted) {
    const std::size_t n = sorted.size();
    if (n == 0) {
        return std::numeric_limits<double>::quiet_NaN();
    }
    if (n % 2 == 1) {
        return sorted[(n - 1) / 2];
    }
    return (sorted[n / 2] + sorted[n / 2 - 1]) * 0.5;
}

std::string formatMagnitude(std::int64_t magnitude) {
    if (magnitude == 1) {
        return "1 byte";
    }
    std::string text =
        QLocale::c().formattedDataSize(magnitude, 2, QLocale::DataSizeSIFormat).toStdString();
    // Qt chooses the unit before rounding, so e.g. 999999 comes out as
    // "1000.00 kB". Move such a figure up to the next unit.
    static constexpr std::array<std::string_view, 6> kUnits = {"kB", "MB", "GB", "TB", "PB", "EB"};
    static constexpr std::string_view kOverflow = "1000.00 ";
    if (text.starts_with(kOverflow)) {
        const std::string_view unit = std::string_view(text).substr(kOverflow.size());
        for (std::size_t i = 0; i + 1 < kUnits.size(); ++i) {
            if (unit == kUnits[i]) {
                return std::string("1.00 ").append(kUnits[i + 1]);
            }
        }
    }
    return text;
}

} // namespace

std::string formatByteCount(std::int64_t n) {
    if (n == std::numeric_limits<std::int64_t>::min()) {
        // Its magnitude does not fit; INT64_MAX rounds to the same text.
        return std::string("-").append(formatMagnitude(std::numeric_limits<std::int64_t>::max()));
    }
    if (n < 0) {
        return std::string("-").append(formatMagnitude(-n));
    }
    return formatMagnitude(n);
}

std::optional<std::int64_t> wholeBytes(double x) {
    constexpr double kLimit = 9223372036854775808.0; // 2^63
    if (!std::isfinite(x) || x < -kLimit || x >= kLimit) {
        return std::nullopt;
    }
    return static_cast<std::int64_t>(x);
}

std::string rateText(double rate, std::string_view suffix) {
    const std::optional<std::int64_t> whole = wholeBytes(rate);
    if (!whole) {
        return std::string(kMissing);
    }
    std::string text = formatByteCount(*whole);
    text += suffix;
    return text;
}

double meanRate(const std::vector<Result> &list) {
    double sum = 0.0;
    for (const Result &r : list) {
        sum += r.rate;
    }
    return sum / static_cast<double>(list.size());
}

double meanRate(const std::vector<double> &rates) {
    double sum = 0.0;
    for (const double rate : rates) {
        sum += rate;
    }
    return sum / static_cast<double>(rates.size());
}

RateSpread rateSpread(const std::vector<Result> &list) {
    std::vector<double> rates;
    rates.reserve(list.size());
    for (const Result &r : list) {
        rates.push_back(r.rate);
    }
    std::stable_sort(rates.begin(), rates.end());

    const double nan = std::numeric_limits<double>::quiet_NaN();
    return RateSpread{sortedMedian(rates), rates.empty() ? nan : rates.front(),
                      rates.empty() ? nan : rates.back()};
}

double sortedQuantile(const std::vector<double> &ascending, double p) {
    if (ascending.empty()) {
        return std::numeric_limits<double>::quiet_NaN();
    }
    const double position = p * static_cast<double>(ascending.size() - 1);
    const auto below = static_cast<std::size_t>(std::floor(position));
    const std::size_t above = std::min(below + 1, ascending.size() - 1);
    const double fraction = position - static_cast<double>(below);
    return ascending[below] + fraction * (ascending[above] - ascending[below]);
}

std::string medianLine(const std::vector<Result> &list) {
    const RateSpread spread = rateSpread(list);
    std::string line = "median = ";
    line += rateText(spread.median, "/second");
    line += " (";
    line += rateText(spread.slowest);
    line += " - ";
    line += rateText(spread.fastest);
    line += ")\n";
    return line;
}

MedianTimes::MedianTimes(const std::vector<Result> &list) {
    std::vector<std::pair<std::int64_t, double>> sizeTimes;
    sizeTimes.reserve(list.size());
    for (const Result &r : list) {
        sizeTimes.emplace_back(r.size, r.time);
    }
    // By size, then each size's times in ascending order.
    std::stable_sort(sizeTimes.begin(), sizeTimes.end(),
                     [](const auto &a, const auto &b) { return a.first < b.first; });
    std::vector<double> times;
    for (std::size_t i = 0; i < sizeTimes.size();) {
        const std::int64_t size = sizeTimes[i].first;
        times.clear();
        for (; i < sizeTimes.size() && sizeTimes[i].first == size; ++i) {
            times.push_back(sizeTimes[i].second);
        }
        std::stable_sort(times.begin(), times.end());
        bySize_.emplace_hint(bySize_.end(), size, sortedMedian(times));
    }
}

double MedianTimes::forSize(std::int64_t size) const {
    const auto found = bySize_.find(size);
    return found == bySize_.end() ? std::numeric_limits<double>::quiet_NaN() : found->second;
}

std::optional<LeastSquaresLine> leastSquaresLine(const std::vector<Result> &list) {
    if (list.empty()) {
        return std::nullopt;
    }
    // With a single size there is no line to fit; rounding could otherwise
    // leave a tiny non-zero Sss and a meaningless figure.
    const bool oneSize = std::all_of(list.begin(), list.end(),
                                     [&](const Result &r) { return r.size == list.front().size; });
    if (oneSize) {
        return std::nullopt;
    }

    double sumTS = 0.0;
    double sumT = 0.0;
    double sumS = 0.0;
    double sumSS = 0.0;
    for (const Result &r : list) {
        const double s = static_cast<double>(r.size);
        const double t = r.time;
        sumTS += t * s;
        sumT += t;
        sumS += s;
        sumSS += s * s;
    }
    const double n = static_cast<double>(list.size());
    const double sst = sumTS - (sumS * sumT) / n;
    const double sss = sumSS - (sumS * sumS) / n;
    const double b = sst / sss;
    const double a = (sumT - sumS * b) / n;
    return LeastSquaresLine{a, b};
}

double regressedRate(const std::vector<Result> &list) {
    const std::optional<LeastSquaresLine> line = leastSquaresLine(list);
    if (!line) {
        return std::numeric_limits<double>::quiet_NaN();
    }
    return (1.0 - line->intercept) / line->slope;
}

} // namespace quorlan
