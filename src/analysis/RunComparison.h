#pragma once

#include "analysis/Result.h"
#include "analysis/ResultKind.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace quorlan {

// One run as the comparison sees it: its results and what makes two runs comparable.
struct ComparedRun {
    std::string label;           // how the texts name the run, such as its file name
    std::string date;            // its start, "2026-12-07T05:00:00Z"; empty when unknown
    std::vector<Result> results; // every result of the run, in measurement order
    std::string machine;         // the machine description; empty when unknown
    std::string fileSystemType;  // "ext4"; empty when unknown
    std::string command;         // "multi-read", "mixed", ...
    std::optional<int> fillByte; // the byte the test files were filled with
    // The cache modes the run's reads achieved ("cached", "direct", ...), ascending, each once.
    std::vector<std::string> readCacheModes;
};

// OTHER's figure divided by BASE's, and the 95% interval of that ratio from the bootstrap.
struct RateRatio {
    double ratio;
    double low;
    double high;
};

// One file size of one kind. A size only one of the runs has has no ratio, and NaN for the
// other run's rate.
struct SizeComparison {
    std::int64_t size;      // bytes
    double baseMedianRate;  // bytes per second: size / median time of BASE's files of the size
    double otherMedianRate; // the same for OTHER
    std::optional<RateRatio> ratio;
};

// One kind (write, read, uncached read) that at least one of the runs measured.
struct KindComparison {
    ResultKind kind;
    std::vector<SizeComparison> sizes; // every size of either run, ascending
    double baseRegressedRate;          // bytes per second; NaN when the run has none
    double otherRegressedRate;
    // When both runs have a positive regressed rate and a resample of each gave one.
    std::optional<RateRatio> regressed;
    // What the verdict rests on; no value when the runs share no size of this kind.
    std::optional<RateRatio> overall;
    // "faster by 1.32× (95% CI 1.25–1.40)", "slower by 1.10× (95% CI 1.05–1.16)",
    // "no difference shown (95% CI 0.97–1.04)" (each from overall), or why there is none:
    // "only in LABEL" (the run that measured the kind), "no file size in both runs".
    std::string verdict;
};

// OTHER against BASE: the kinds in the order write, read, uncached read, and a warning for each
// way the two runs are not alike (machine, file system, cache modes achieved, fill byte,
// command), then one for each kind with a shared size that a run measured only once.
struct RunComparison {
    std::string baseLabel;
    std::string baseDate;
    std::string otherLabel;
    std::string otherDate;
    std::vector<KindComparison> kinds;
    std::vector<std::string> warnings;
};

// The bootstrap behind every interval: bootstrapResamples resamples, drawn for each kind of
// each comparison from a std::mt19937_64 seeded with bootstrapSeed (BootstrapDraws), so the same
// two runs always give the same texts, and a kind's figures do not depend on what else the runs
// measured. Each resample draws each run's files of a size anew (its median from the order
// statistics, BootstrapDraws.h) and each run's files of the kind for the regressed rate
// (RegressionResampler.h). An interval is the 2.5th to 97.5th percentile of the resampled
// ratios.
inline constexpr int bootstrapResamples = 2000;
inline constexpr std::uint64_t bootstrapSeed = 20261207;

// OTHER against BASE. Results count when of a known kind with a positive size and a positive
// finite time. A warning is given only when both runs know the fact and it differs; the fill
// byte only when both runs wrote files.
RunComparison compareRuns(const ComparedRun &base, const ComparedRun &other);

// A ratio with two decimals ("1.32", whatever the locale); "n/a" when it is not finite.
std::string ratioText(double ratio);
// "1.25–1.40": the interval of the ratio.
std::string intervalText(const RateRatio &ratio);

} // namespace quorlan
