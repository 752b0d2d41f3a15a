#include "analysis/BootstrapDraws.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace quorlan {

double BootstrapDraws::uniform() {
    // The top 53 bits, centred in their step: never 0, never 1.
    return (static_cast<double>(engine_() >> 11) + 0.5) * 0x1.0p-53;
}

std::size_t BootstrapDraws::index(std::size_t n) {
    const std::uint64_t range = n;
    // 2^64 mod n: the draws at or above the largest multiple of n are refused.
    const std::uint64_t excess = (std::numeric_limits<std::uint64_t>::max() % range + 1) % range;
    std::uint64_t x = engine_();
    while (excess != 0 && x >= 0 - excess)
        x = engine_();
    return static_cast<std::size_t>(x % range);
}

double BootstrapDraws::normal() {
    if (hasSpareNormal_) {
        hasSpareNormal_ = false;
        return spareNormal_;
    }
    double u = 0.0;
    double v = 0.0;
    double s = 0.0;
    do {
        u = 2.0 * uniform() - 1.0;
        v = 2.0 * uniform() - 1.0;
        s = u * u + v * v;
    } while (s >= 1.0 || s == 0.0);
    const double factor = std::sqrt(-2.0 * std::log(s) / s);
    spareNormal_ = v * factor;
    hasSpareNormal_ = true;
    return u * factor;
}

double BootstrapDraws::gamma(double shape) {
    const double d = shape - 1.0 / 3.0;
    const double c = 1.0 / std::sqrt(9.0 * d);
    for (;;) {
        const double x = normal();
        const double root = 1.0 + c * x;
        if (root <= 0.0)
            continue;
        const double v = root * root * root;
        const double u = uniform();
        if (u < 1.0 - 0.0331 * x * x * x * x ||
            std::log(u) < 0.5 * x * x + d * (1.0 - v + std::log(v)))
            return d * v;
    }
}

double BootstrapDraws::beta(double a, double b) {
    const double x = gamma(a);
    return x / (x + gamma(b));
}

namespace {

// The value whose rank is ceil(n u) (from 1) among n ascending values, for u in (0, 1].
double valueAtQuantile(const std::vector<double> &ascending, double u) {
    const double n = static_cast<double>(ascending.size());
    const double rank = std::clamp(std::ceil(n * u), 1.0, n);
    return ascending[static_cast<std::size_t>(rank) - 1];
}

} // namespace

double resampledMedian(const std::vector<double> &ascending, BootstrapDraws &draws) {
    const std::size_t n = ascending.size();
    if (n == 0)
        return std::numeric_limits<double>::quiet_NaN();
    if (n == 1)
        return ascending.front();
    const std::size_t k = (n + 1) / 2; // the lower middle rank
    const double u = draws.beta(static_cast<double>(k), static_cast<double>(n + 1 - k));
    if (n % 2 == 1)
        return valueAtQuantile(ascending, u);
    const double next =
        u + (1.0 - u) * (1.0 - std::pow(draws.uniform(), 1.0 / static_cast<double>(n - k)));
    return 0.5 * (valueAtQuantile(ascending, u) + valueAtQuantile(ascending, next));
}

PercentileInterval percentileInterval95(std::vector<double> &values) {
    if (values.empty()) {
        const double nan = std::numeric_limits<double>::quiet_NaN();
        return {nan, nan};
    }
    std::sort(values.begin(), values.end());
    const auto at = [&](double p) {
        const double h = p * static_cast<double>(values.size() - 1);
        const auto below = static_cast<std::size_t>(std::floor(h));
        const std::size_t above = std::min(below + 1, values.size() - 1);
        return values[below] + (h - std::floor(h)) * (values[above] - values[below]);
    };
    return {at(0.025), at(0.975)};
}

} // namespace quorlan
