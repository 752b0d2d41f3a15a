#include "analysis/BootstrapDraws.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <numeric>

namespace quorlan {
namespace {

// The chance that at least k of n draws are among the lowest j of n values: that the median of
// a resample of an odd count lies at or below the j-th smallest value.
double chanceMedianAtMost(int n, int j) {
    const double p = static_cast<double>(j) / n;
    double chance = 0.0;
    for (int m = (n + 1) / 2; m <= n; ++m)
        chance += std::exp(std::lgamma(n + 1.0) - std::lgamma(m + 1.0) - std::lgamma(n - m + 1.0)) *
                  std::pow(p, m) * std::pow(1.0 - p, n - m);
    return chance;
}

// Resampled medians of an odd count follow the exact law of a resample's median.
TEST(ResampledMedian, OddCountsFollowTheLawOfAResamplesMedian) {
    for (const int n : {3, 7, 25}) {
        SCOPED_TRACE(n);
        std::vector<double> values(static_cast<std::size_t>(n));
        std::iota(values.begin(), values.end(), 1.0);
        BootstrapDraws draws(11);
        std::vector<int> atMost(static_cast<std::size_t>(n) + 1, 0);
        const int count = 40000;
        for (int i = 0; i < count; ++i)
            ++atMost[static_cast<std::size_t>(resampledMedian(values, draws))];
        std::partial_sum(atMost.begin(), atMost.end(), atMost.begin());
        for (int j = 1; j <= n; ++j)
            EXPECT_NEAR(static_cast<double>(atMost[static_cast<std::size_t>(j)]) / count,
                        chanceMedianAtMost(n, j), 0.01)
                << j;
    }
}

// An even count's median is the mean of the middle two of a resample drawn file by file.
TEST(ResampledMedian, EvenCountsMatchResamplesDrawnFileByFile) {
    const std::vector<std::vector<double>> cases = {{1, 2}, {1, 2, 4, 8}, {1, 1, 3, 5, 6, 9}};
    for (const std::vector<double> &values : cases) {
        SCOPED_TRACE(values.size());
        BootstrapDraws draws(5);
        std::vector<double> fast, direct;
        for (int i = 0; i < 40000; ++i) {
            fast.push_back(resampledMedian(values, draws));
            std::vector<double> resample;
            for (std::size_t k = 0; k < values.size(); ++k)
                resample.push_back(values[draws.index(values.size())]);
            std::sort(resample.begin(), resample.end());
            const std::size_t middle = values.size() / 2;
            direct.push_back(0.5 * (resample[middle - 1] + resample[middle]));
        }
        // The share of medians at or below each value a resample can have.
        std::sort(fast.begin(), fast.end());
        std::sort(direct.begin(), direct.end());
        for (const double median : direct) {
            const auto share = [&](const std::vector<double> &list) {
                return static_cast<double>(std::upper_bound(list.begin(), list.end(), median) -
                                           list.begin()) /
                       40000;
            };
            EXPECT_NEAR(share(fast), share(direct), 0.012) << median;
        }
        EXPECT_NEAR(std::accumulate(fast.begin(), fast.end(), 0.0) / 40000,
                    std::accumulate(direct.begin(), direct.end(), 0.0) / 40000, 0.02);
    }
    BootstrapDraws draws(1);
    EXPECT_TRUE(std::isnan(resampledMedian({}, draws)));
    EXPECT_EQ(resampledMedian({4.5}, draws), 4.5);
}

// Means and variances of the draws the medians and the regression stand on.
TEST(BootstrapDraws, DrawsHaveTheirLawsMeanAndVariance) {
    BootstrapDraws draws(3);
    const int count = 100000;
    const struct {
        const char *name;
        std::function<double()> draw;
        double mean, variance;
    } cases[] = {
        {"uniform", [&] { return draws.uniform(); }, 0.5, 1.0 / 12},
        {"index 6", [&] { return static_cast<double>(draws.index(6)); }, 2.5, 35.0 / 12},
        {"normal", [&] { return draws.normal(); }, 0.0, 1.0},
        {"gamma 1", [&] { return draws.gamma(1.0); }, 1.0, 1.0},
        {"gamma 40", [&] { return draws.gamma(40.0); }, 40.0, 40.0},
        {"beta 2 5", [&] { return draws.beta(2.0, 5.0); }, 2.0 / 7, 10.0 / 392},
    };
    for (const auto &c : cases) {
        double sum = 0.0, squares = 0.0, lowest = INFINITY, highest = -INFINITY;
        for (int i = 0; i < count; ++i) {
            const double x = c.draw();
            sum += x;
            squares += x * x;
            lowest = std::min(lowest, x);
            highest = std::max(highest, x);
        }
        const double mean = sum / count;
        EXPECT_NEAR(mean, c.mean, 0.02 * std::sqrt(c.variance) + 1e-9) << c.name;
        EXPECT_NEAR(squares / count - mean * mean, c.variance, 0.03 * c.variance) << c.name;
        if (c.name[0] == 'u' || c.name[0] == 'b') {
            EXPECT_TRUE(lowest > 0.0 && highest < 1.0) << c.name;
        }
        if (c.name[0] == 'i') {
            EXPECT_TRUE(lowest == 0.0 && highest == 5.0) << c.name;
        }
    }
}

TEST(PercentileInterval95, LinearBetweenOrderStatistics) {
    const struct {
        std::vector<double> values;
        double low, high;
    } cases[] = {{{7.0}, 7.0, 7.0},
                 {{3, 1, 2}, 1.05, 2.95},
                 {{40, 0, 10, 20, 30}, 1.0, 39.0},
                 {std::vector<double>(41, 0.0), 0.0, 0.0}};
    for (const auto &c : cases) {
        std::vector<double> values = c.values;
        const PercentileInterval interval = percentileInterval95(values);
        EXPECT_DOUBLE_EQ(interval.low, c.low) << c.values.size();
        EXPECT_DOUBLE_EQ(interval.high, c.high) << c.values.size();
    }
    std::vector<double> none;
    EXPECT_TRUE(std::isnan(percentileInterval95(none).low));
}

} // namespace
} // namespace quorlan
