#include "analysis/RunComparison.h"

#include "analysis/BootstrapDraws.h"
#include "analysis/RegressionResampler.h"
#include "analysis/Statistics.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <iterator>
#include <limits>
#include <map>

namespace quorlan {

namespace {

constexpr double nan = std::numeric_limits<double>::quiet_NaN();
constexpr ResultKind kindOrder[] = {ResultKind::Write, ResultKind::Read, ResultKind::UncachedRead};

// The results of the kind that carry a measurement: a positive size and a positive time.
std::vector<Result> measured(const ComparedRun &run, ResultKind kind) {
    std::vector<Result> list;
    for (const Result &r : run.results)
        if (r.type == kind && r.size > 0 && r.time > 0.0 && std::isfinite(r.time))
            list.push_back(r);
    return list;
}

// Each size's times, ascending.
std::map<std::int64_t, std::vector<double>> timesBySize(const std::vector<Result> &list) {
    std::map<std::int64_t, std::vector<double>> times;
    for (const Result &r : list)
        times[r.size].push_back(r.time);
    for (auto &[size, sizeTimes] : times)
        std::sort(sizeTimes.begin(), sizeTimes.end());
    return times;
}

double medianOf(const std::vector<double> &ascending) {
    const std::size_t n = ascending.size();
    return n % 2 == 1 ? ascending[n / 2] : 0.5 * (ascending[n / 2 - 1] + ascending[n / 2]);
}

double medianRate(std::int64_t size, const std::vector<double> *times) {
    return times ? static_cast<double>(size) / medianOf(*times) : nan;
}

RateRatio withInterval(double ratio, std::vector<double> resampled) {
    const PercentileInterval interval = percentileInterval95(resampled);
    return {ratio, interval.low, interval.high};
}

const std::vector<double> *find(const std::map<std::int64_t, std::vector<double>> &times,
                                std::int64_t size) {
    const auto found = times.find(size);
    return found == times.end() ? nullptr : &found->second;
}

// The table of sizes, and overall: the geometric mean of the shared sizes' ratios, with the
// interval of that mean over the same resamples. True when a shared size has a single file in
// either run: a resample of one file never varies.
bool compareSizes(const std::vector<Result> &base, const std::vector<Result> &other,
                  BootstrapDraws &draws, KindComparison &into) {
    const auto baseTimes = timesBySize(base);
    const auto otherTimes = timesBySize(other);
    std::map<std::int64_t, bool> sizes; // every size of either run
    for (const auto &[size, times] : baseTimes)
        sizes[size] = true;
    for (const auto &[size, times] : otherTimes)
        sizes[size] = true;

    std::vector<double> logSums(bootstrapResamples, 0.0);
    std::vector<double> resampled(bootstrapResamples);
    double logSum = 0.0;
    int shared = 0;
    bool single = false;
    for (const auto &[size, unused] : sizes) {
        const std::vector<double> *baseSize = find(baseTimes, size);
        const std::vector<double> *otherSize = find(otherTimes, size);
        SizeComparison row{size, medianRate(size, baseSize), medianRate(size, otherSize), {}};
        if (baseSize && otherSize) {
            for (int r = 0; r < bootstrapResamples; ++r) {
                // OTHER's rate over BASE's is BASE's median time over OTHER's.
                resampled[r] =
                    resampledMedian(*baseSize, draws) / resampledMedian(*otherSize, draws);
                logSums[r] += std::log(resampled[r]);
            }
            row.ratio = withInterval(row.otherMedianRate / row.baseMedianRate, resampled);
            logSum += std::log(row.ratio->ratio);
            ++shared;
            single = single || baseSize->size() == 1 || otherSize->size() == 1;
        }
        into.sizes.push_back(row);
    }
    if (shared == 0)
        return false;
    for (double &sum : logSums)
        sum = std::exp(sum / shared);
    into.overall = withInterval(std::exp(logSum / shared), std::move(logSums));
    return single;
}

bool isRate(double rate) {
    return std::isfinite(rate) && rate > 0.0;
}

// The regressed rates and, when both are rates, their ratio over resamples of each run's files.
// A resample whose line cannot be fitted or gives no rate is left out of the interval.
void compareRegressed(const std::vector<Result> &base, const std::vector<Result> &other,
                      BootstrapDraws &draws, KindComparison &into) {
    into.baseRegressedRate = base.empty() ? nan : regressedRate(base);
    into.otherRegressedRate = other.empty() ? nan : regressedRate(other);
    if (!isRate(into.baseRegressedRate) || !isRate(into.otherRegressedRate))
        return;
    const RegressionResampler baseResampler(base);
    const RegressionResampler otherResampler(other);
    std::vector<double> resampled;
    resampled.reserve(bootstrapResamples);
    for (int r = 0; r < bootstrapResamples; ++r) {
        const double baseRate = baseResampler.resampledRate(draws);
        const double otherRate = otherResampler.resampledRate(draws);
        if (isRate(baseRate) && isRate(otherRate))
            resampled.push_back(otherRate / baseRate);
    }
    if (!resampled.empty())
        into.regressed =
            withInterval(into.otherRegressedRate / into.baseRegressedRate, std::move(resampled));
}

std::string verdictOf(const KindComparison &kind, bool inBase, bool inOther,
                      const ComparedRun &base, const ComparedRun &other) {
    if (!inOther)
        return "only in " + base.label;
    if (!inBase)
        return "only in " + other.label;
    if (!kind.overall)
        return "no file size in both runs";
    const RateRatio &overall = *kind.overall;
    if (overall.low > 1.0)
        return "faster by " + ratioText(overall.ratio) + "× (95% CI " + intervalText(overall) + ")";
    if (overall.high < 1.0)
        return "slower by " + ratioText(1.0 / overall.ratio) + "× (95% CI " +
               intervalText({1.0 / overall.ratio, 1.0 / overall.high, 1.0 / overall.low}) + ")";
    return "no difference shown (95% CI " + intervalText(overall) + ")";
}

const char *pluralName(ResultKind kind) {
    switch (kind) {
    case ResultKind::Write:
        return "writes";
    case ResultKind::Read:
        return "reads";
    case ResultKind::UncachedRead:
        return "uncached reads";
    }
    return "results";
}

std::string joined(const std::vector<std::string> &words) {
    std::string text;
    for (std::size_t i = 0; i < words.size(); ++i)
        text += (i == 0 ? "" : i + 1 == words.size() ? " and " : ", ") + words[i];
    return text;
}

std::string fillByteText(int byte) {
    static constexpr char digits[] = "0123456789ABCDEF";
    return std::string("0x") + digits[(byte >> 4) & 0xF] + digits[byte & 0xF];
}

// One sentence: "LEAD: BASE_TEXT in BASE, OTHER_TEXT in OTHER.", when both texts are known and
// differ.
void warnIfDifferent(std::vector<std::string> &warnings, const char *lead,
                     const std::string &baseText, const std::string &otherText,
                     const ComparedRun &base, const ComparedRun &other) {
    if (baseText.empty() || otherText.empty() || baseText == otherText)
        return;
    warnings.push_back(std::string(lead) + ": " + baseText + " in " + base.label + ", " +
                       otherText + " in " + other.label + ".");
}

std::vector<std::string> warningsOf(const ComparedRun &base, const ComparedRun &other) {
    std::vector<std::string> warnings;
    if (!base.machine.empty() && !other.machine.empty() && base.machine != other.machine)
        warnings.push_back("The runs come from different machines.");
    warnIfDifferent(warnings, "The runs used different file systems", base.fileSystemType,
                    other.fileSystemType, base, other);
    warnIfDifferent(warnings, "The reads met the cache differently", joined(base.readCacheModes),
                    joined(other.readCacheModes), base, other);
    // The fill byte matters only to what a run wrote.
    const auto writtenFill = [](const ComparedRun &run) {
        const bool wrote = std::any_of(run.results.begin(), run.results.end(),
                                       [](const Result &r) { return r.type == ResultKind::Write; });
        return wrote && run.fillByte ? fillByteText(*run.fillByte) : std::string();
    };
    warnIfDifferent(warnings, "The test files were filled differently", writtenFill(base),
                    writtenFill(other), base, other);
    warnIfDifferent(warnings, "The runs come from different tests", base.command, other.command,
                    base, other);
    return warnings;
}

} // namespace

std::string ratioText(double ratio) {
    if (!std::isfinite(ratio))
        return std::string(notAvailableText);
    char buffer[64];
    const auto [end, error] =
        std::to_chars(buffer, buffer + sizeof buffer, ratio, std::chars_format::fixed, 2);
    return error == std::errc{} ? std::string(buffer, end) : std::string(notAvailableText);
}

std::string intervalText(const RateRatio &ratio) {
    return ratioText(ratio.low) + "–" + ratioText(ratio.high);
}

RunComparison compareRuns(const ComparedRun &base, const ComparedRun &other) {
    RunComparison comparison{base.label, base.date, other.label, other.date, {}, {}};
    std::vector<std::string> singles;
    for (const ResultKind kind : kindOrder) {
        const std::vector<Result> baseResults = measured(base, kind);
        const std::vector<Result> otherResults = measured(other, kind);
        if (baseResults.empty() && otherResults.empty())
            continue;
        KindComparison row{kind, {}, nan, nan, {}, {}, {}};
        BootstrapDraws draws(bootstrapSeed); // each kind alike, whatever else the runs measured
        if (compareSizes(baseResults, otherResults, draws, row))
            singles.push_back(std::string("Some sizes of the ") + pluralName(kind) +
                              " were measured only once in a run: their intervals show none of "
                              "the noise, and more passes would show it.");
        compareRegressed(baseResults, otherResults, draws, row);
        row.verdict = verdictOf(row, !baseResults.empty(), !otherResults.empty(), base, other);
        comparison.kinds.push_back(std::move(row));
    }
    comparison.warnings = warningsOf(base, other);
    comparison.warnings.insert(comparison.warnings.end(), singles.begin(), singles.end());
    return comparison;
}

} // namespace quorlan
