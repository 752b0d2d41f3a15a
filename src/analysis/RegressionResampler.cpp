#include "analysis/RegressionResampler.h"

#include <cmath>
#include <limits>

namespace quorlan {

namespace {

using Matrix = std::array<std::array<double, 4>, 4>;

// The lower-triangular L with L Lᵀ = covariance, for a covariance that may be singular (two
// sizes only make size² follow from size): a column whose pivot vanishes is left zero.
Matrix choleskyFactor(const Matrix &covariance) {
    Matrix factor{};
    for (std::size_t j = 0; j < 4; ++j) {
        double pivot = covariance[j][j];
        for (std::size_t k = 0; k < j; ++k)
            pivot -= factor[j][k] * factor[j][k];
        if (!(pivot > 1e-12 * covariance[j][j]))
            continue;
        factor[j][j] = std::sqrt(pivot);
        for (std::size_t i = j + 1; i < 4; ++i) {
            double sum = covariance[i][j];
            for (std::size_t k = 0; k < j; ++k)
                sum -= factor[i][k] * factor[j][k];
            factor[i][j] = sum / factor[j][j];
        }
    }
    return factor;
}

} // namespace

RegressionResampler::RegressionResampler(const std::vector<Result> &results) {
    const double n = static_cast<double>(results.size());
    for (const Result &r : results) {
        sizeMean_ += static_cast<double>(r.size) / n;
        timeMean_ += r.time / n;
    }
    std::vector<Means> figures;
    figures.reserve(results.size());
    for (const Result &r : results) {
        const double s = static_cast<double>(r.size) - sizeMean_;
        const double t = r.time - timeMean_;
        figures.push_back({s, s * s, t, t * s});
    }
    for (const Means &f : figures)
        for (std::size_t j = 0; j < 4; ++j)
            mean_[j] += f[j] / n;
    Matrix covariance{}; // of the mean of n draws: the figures' covariance / n
    for (const Means &f : figures)
        for (std::size_t i = 0; i < 4; ++i)
            for (std::size_t j = 0; j <= i; ++j)
                covariance[i][j] += (f[i] - mean_[i]) * (f[j] - mean_[j]) / (n * n);
    for (std::size_t i = 0; i < 4; ++i)
        for (std::size_t j = 0; j < i; ++j)
            covariance[j][i] = covariance[i][j];
    factor_ = choleskyFactor(covariance);
    if (results.size() <= exactRegressionLimit)
        centred_ = std::move(figures);
}

double RegressionResampler::resampledRate(BootstrapDraws &draws) const {
    Means means{};
    if (!centred_.empty()) {
        for (std::size_t i = 0; i < centred_.size(); ++i) {
            const Means &f = centred_[draws.index(centred_.size())];
            for (std::size_t j = 0; j < 4; ++j)
                means[j] += f[j];
        }
        for (double &m : means)
            m /= static_cast<double>(centred_.size());
    } else {
        Means z{};
        for (double &x : z)
            x = draws.normal();
        for (std::size_t i = 0; i < 4; ++i) {
            means[i] = mean_[i];
            for (std::size_t k = 0; k <= i; ++k)
                means[i] += factor_[i][k] * z[k];
        }
    }
    return rateOf(means);
}

double RegressionResampler::rateOf(const Means &means) const {
    const auto [s, ss, t, ts] = means;
    const double spread = ss - s * s; // the resample's variance of size
    if (!(spread > 1e-9 * ss))
        return std::numeric_limits<double>::quiet_NaN();
    const double slope = (ts - s * t) / spread;
    const double intercept = timeMean_ + (t - slope * s) - slope * sizeMean_;
    return (1.0 - intercept) / slope;
}

} // namespace quorlan
