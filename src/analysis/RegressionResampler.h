#pragma once

#include "analysis/BootstrapDraws.h"
#include "analysis/Result.h"

#include <array>
#include <cstddef>
#include <vector>

namespace quorlan {

// Up to this many results a resample is drawn file by file; above, its means are drawn whole.
inline constexpr std::size_t exactRegressionLimit = 2000;

// The regressed rate of bootstrap resamples of one list of results: the least-squares line
// time = a + b * size over n results drawn with replacement, and the size it moves in one
// second, (1 - a) / b, as regressedRate gives it for the list itself.
//
// The line depends on the resample only through the means of size, size², time and
// time × size (sizes and times centred on the list's means, for precision). Up to
// exactRegressionLimit results each resample draws its n results (O(n)); above, it draws those
// four means at once from the normal distribution with their mean and covariance under
// resampling, which the central limit theorem makes exact to far below the noise of the
// bootstrap itself at such counts (O(1)).
class RegressionResampler {
public:
    // results: sizes in bytes, times in seconds; at least one.
    explicit RegressionResampler(const std::vector<Result> &results);

    // Bytes per second; NaN when the resample's sizes are all equal.
    double resampledRate(BootstrapDraws &draws) const;

private:
    using Means = std::array<double, 4>; // size, size², time, time × size, centred

    double rateOf(const Means &means) const;

    std::vector<Means> centred_; // each result's four figures; empty above the limit
    Means mean_{};
    std::array<Means, 4> factor_{}; // lower-triangular: covariance of the means = factor_ factor_ᵀ
    double sizeMean_ = 0.0;
    double timeMean_ = 0.0;
};

} // namespace quorlan
