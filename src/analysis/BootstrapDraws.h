#pragma once

#include <cstddef>
#include <cstdint>
#include <random>
#include <vector>

namespace quorlan {

// The random numbers of a bootstrap. Every draw comes from std::mt19937_64, whose sequence the
// C++ standard fixes, through mappings of our own (the standard distributions may differ from
// one library to the next): the same seed gives the same draws on every platform.
class BootstrapDraws {
public:
    explicit BootstrapDraws(std::uint64_t seed) : engine_(seed) {}

    // Uniform on the open interval (0, 1), in steps of 2^-53.
    double uniform();
    // Uniform over 0 .. n - 1, without bias (rejection); n > 0.
    std::size_t index(std::size_t n);
    // Standard normal (Marsaglia's polar method; the second value of a pair is kept for the
    // next call).
    double normal();
    // Gamma of this shape and scale 1, shape >= 1 (Marsaglia and Tsang).
    double gamma(double shape);
    // Beta(a, b) as X / (X + Y) of two gammas; a, b >= 1.
    double beta(double a, double b);

private:
    std::mt19937_64 engine_;
    double spareNormal_ = 0.0;
    bool hasSpareNormal_ = false;
};

// The median of one bootstrap resample (n draws with replacement) of the n ascending values, in
// O(1): the resample's k-th smallest value is the ceil(n U)-th smallest value, where U, the k-th
// smallest of n uniform numbers, is Beta(k, n + 1 - k); for an even n the next one is
// U + (1 - U)(1 - V^(1 / (n - k))) with V uniform. NaN for no values.
double resampledMedian(const std::vector<double> &ascending, BootstrapDraws &draws);

// The 2.5th and 97.5th percentiles of the values (linear between the order statistics), which
// are sorted in place; NaN for no values.
struct PercentileInterval {
    double low;
    double high;
};
PercentileInterval percentileInterval95(std::vector<double> &values);

} // namespace quorlan
