#include "analysis/RunComparison.h"
#include "analysis/ComparisonText.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace quorlan {
namespace {

constexpr double nan = std::numeric_limits<double>::quiet_NaN();

Result result(ResultKind kind, std::int64_t size, double time) {
    return Result{kind, size, time, static_cast<double>(size) / time};
}

// perSize files of each size at about 100 MB/s, no time beside the transfer; each time off by
// up to 10% in a fixed pattern, times multiplied by slowdown.
std::vector<Result> noisyRun(ResultKind kind, const std::vector<std::int64_t> &sizes, int perSize,
                             double slowdown = 1.0) {
    std::vector<Result> list;
    for (int i = 0; i < perSize; ++i)
        for (const std::int64_t size : sizes) {
            const double noise = 1.0 + 0.02 * static_cast<double>((i * 7 + size / 1000) % 11 - 5);
            list.push_back(result(kind, size, slowdown * noise * static_cast<double>(size) / 1e8));
        }
    return list;
}

ComparedRun run(const std::string &label, std::vector<Result> results) {
    ComparedRun compared;
    compared.label = label;
    compared.results = std::move(results);
    return compared;
}

const std::vector<std::int64_t> sizes = {2000000, 4000000, 8000000, 20000000};

struct Case {
    ResultKind kind;
    int perSize;   // 700 files of 4 sizes draw the regression's resamples whole
    double widest; // of a ratio's interval, high / low
};
const Case cases[] = {{ResultKind::Write, 3, 1.3},
                      {ResultKind::Read, 40, 1.08},
                      {ResultKind::UncachedRead, 700, 1.02}};

bool contains(const RateRatio &ratio, double x) {
    return ratio.low <= x && x <= ratio.high;
}

// A run against itself: no size, no regressed rate and no verdict shows a difference.
TEST(CompareRuns, ARunAgainstItselfShowsNoDifference) {
    for (const Case &c : cases) {
        SCOPED_TRACE(c.perSize);
        const ComparedRun same = run("a.json", noisyRun(c.kind, sizes, c.perSize));
        const RunComparison comparison = compareRuns(same, same);
        ASSERT_EQ(comparison.kinds.size(), 1u);
        const KindComparison &kind = comparison.kinds[0];
        EXPECT_EQ(kind.kind, c.kind);
        ASSERT_EQ(kind.sizes.size(), sizes.size());
        for (const SizeComparison &size : kind.sizes)
            EXPECT_TRUE(size.ratio && size.ratio->ratio == 1.0 && contains(*size.ratio, 1.0))
                << size.size;
        ASSERT_TRUE(kind.regressed && kind.overall);
        EXPECT_TRUE(contains(*kind.regressed, 1.0));
        EXPECT_LT(kind.overall->low, kind.overall->high);
        EXPECT_EQ(kind.verdict, "no difference shown (95% CI " + intervalText(*kind.overall) + ")");
        EXPECT_TRUE(contains(*kind.overall, 1.0));
        EXPECT_TRUE(comparison.warnings.empty());
    }
}

// Times halved are rates doubled, and the other way round; a tight interval around 2.
TEST(CompareRuns, HalvedAndDoubledTimesAreFasterAndSlowerByTwo) {
    for (const Case &c : cases) {
        SCOPED_TRACE(c.perSize);
        const ComparedRun base = run("base", noisyRun(c.kind, sizes, c.perSize));
        for (const auto &[slowdown, word, ratio] :
             {std::tuple{0.5, "faster by 2.00× (95% CI ", 2.0},
              {2.0, "slower by 2.00× (95% CI ", 0.5}}) {
            const RunComparison comparison =
                compareRuns(base, run("other", noisyRun(c.kind, sizes, c.perSize, slowdown)));
            const KindComparison &kind = comparison.kinds.at(0);
            EXPECT_EQ(kind.verdict.rfind(word, 0), 0u) << kind.verdict;
            for (const auto &figure : {kind.overall, kind.regressed}) {
                ASSERT_TRUE(figure);
                EXPECT_NEAR(figure->ratio, ratio, 1e-3);
                EXPECT_TRUE(contains(*figure, ratio));
                EXPECT_LT(figure->high / figure->low, c.widest);
            }
            EXPECT_NEAR(kind.otherRegressedRate / kind.baseRegressedRate, ratio, 1e-3);
        }
    }
}

// Sizes in one run only have no ratio; overall is the geometric mean of the shared sizes'
// ratios (one file each: every resample alike); files without a measurement do not count; a kind
// in one run only, or with no shared size, has no verdict figure.
TEST(CompareRuns, SharedSizesOnlyAndKindsOfOneRun) {
    const ResultKind w = ResultKind::Write;
    ComparedRun base =
        run("base.json", {result(w, 20000, 1.0), result(w, 40000, 1.0), result(w, 80000, 2.0),
                          result(w, 80000, 4.0), result(ResultKind::UncachedRead, 20000, 1.0)});
    ComparedRun other =
        run("other.json",
            {result(w, 40000, 0.5), result(w, 80000, 0.375), result(w, 160000, 1.0),
             result(w, 320000, nan), result(w, 0, 1.0), result(w, 640000, 0.0),
             result(ResultKind::Read, 20000, 1.0), result(ResultKind::UncachedRead, 40000, 1.0)});
    const RunComparison comparison = compareRuns(base, other);
    ASSERT_EQ(comparison.kinds.size(), 3u);
    const KindComparison &write = comparison.kinds[0];
    const std::int64_t expectedSizes[] = {20000, 40000, 80000, 160000};
    ASSERT_EQ(write.sizes.size(), 4u);
    for (std::size_t i = 0; i < 4; ++i)
        EXPECT_EQ(write.sizes[i].size, expectedSizes[i]);
    EXPECT_EQ(write.sizes[0].baseMedianRate, 20000.0);
    EXPECT_TRUE(std::isnan(write.sizes[0].otherMedianRate) && !write.sizes[0].ratio);
    EXPECT_EQ(write.sizes[2].baseMedianRate, 80000.0 / 3.0); // the mean of the middle two
    EXPECT_EQ(write.sizes[2].ratio->ratio, 8.0);
    EXPECT_TRUE(std::isnan(write.sizes[3].baseMedianRate) && !write.sizes[3].ratio);
    EXPECT_DOUBLE_EQ(write.overall->ratio, 4.0); // of 2 and 8
    EXPECT_EQ(write.verdict.rfind("faster by 4.00× (95% CI ", 0), 0u) << write.verdict;
    EXPECT_EQ(comparison.kinds[1].kind, ResultKind::Read);
    EXPECT_EQ(comparison.kinds[1].verdict, "only in other.json");
    EXPECT_EQ(comparison.kinds[2].verdict, "no file size in both runs");
    EXPECT_FALSE(comparison.kinds[2].overall || comparison.kinds[2].regressed);
    EXPECT_EQ(comparison.warnings,
              std::vector<std::string>{"Some sizes of the writes were measured only once in a "
                                       "run: their intervals show none of the noise, and more "
                                       "passes would show it."});
    EXPECT_EQ(compareRuns(other, base).kinds[1].verdict, "only in other.json");
    base.results.resize(4);
    EXPECT_EQ(compareRuns(other, base).kinds[2].verdict, "only in other.json");
}

// The regressed interval of 2001 files (its resamples drawn whole) is the one of 2000 of them
// (drawn file by file).
TEST(CompareRuns, RegressionResamplesDrawnWholeMatchThoseDrawnFileByFile) {
    std::vector<Result> many = noisyRun(ResultKind::Write, {1000000, 3000000, 9000000}, 667);
    for (Result &r : many)
        r.time += 0.01 * static_cast<double>(r.size % 7000 == 0);
    std::vector<std::optional<RateRatio>> intervals;
    for (const std::size_t count : {2001, 2000}) {
        const std::vector<Result> files(many.begin(), many.begin() + static_cast<long>(count));
        std::vector<Result> slower = files;
        for (Result &r : slower)
            r.time *= 1.05;
        intervals.push_back(compareRuns(run("a", files), run("b", slower)).kinds[0].regressed);
    }
    ASSERT_TRUE(intervals[0] && intervals[1]);
    EXPECT_NEAR(intervals[0]->low, intervals[1]->low, 0.003);
    EXPECT_NEAR(intervals[0]->high, intervals[1]->high, 0.003);
    EXPECT_GT(intervals[0]->high - intervals[0]->low, 0.01);
}

// One sentence for each way two runs differ; nothing when either does not know.
TEST(CompareRuns, WarningsNameEachDifference) {
    const struct {
        void (*change)(ComparedRun &);
        const char *warning;
    } cases[] = {
        {[](ComparedRun &r) { r.machine = "Mac model = Other\n"; },
         "The runs come from different machines."},
        {[](ComparedRun &r) { r.machine.clear(); }, nullptr},
        {[](ComparedRun &r) { r.fileSystemType = "tmpfs"; },
         "The runs used different file systems: ext4 in a.json, tmpfs in b.json."},
        {[](ComparedRun &r) { r.fileSystemType.clear(); }, nullptr},
        {[](ComparedRun &r) {
             r.readCacheModes = {"cached", "direct", "pages-dropped"};
         },
         "The reads met the cache differently: direct in a.json, cached, direct and "
         "pages-dropped in b.json."},
        {[](ComparedRun &r) { r.readCacheModes.clear(); }, nullptr},
        {[](ComparedRun &r) { r.fillByte = 0x1A; },
         "The test files were filled differently: 0x88 in a.json, 0x1A in b.json."},
        {[](ComparedRun &r) { r.fillByte.reset(); }, nullptr},
        {[](ComparedRun &r) {
             r.fillByte = 0x41;
             r.results = {result(ResultKind::Read, 20000, 1.0)};
         },
         nullptr},
        {[](ComparedRun &r) { r.command = "mixed"; },
         "The runs come from different tests: multi-read in a.json, mixed in b.json."},
    };
    ComparedRun base = run(
        "a.json", {result(ResultKind::Write, 20000, 1.0), result(ResultKind::Write, 20000, 1.0)});
    base.machine = "Mac model = Test\n";
    base.fileSystemType = "ext4";
    base.readCacheModes = {"direct"};
    base.fillByte = 0x88;
    base.command = "multi-read";
    for (const auto &c : cases) {
        ComparedRun other = base;
        other.label = "b.json";
        c.change(other);
        const std::vector<std::string> warnings = compareRuns(base, other).warnings;
        EXPECT_EQ(warnings,
                  c.warning ? std::vector<std::string>{c.warning} : std::vector<std::string>{});
    }
}

// Labels are file names: in Markdown their punctuation stays text.
TEST(ComparisonMarkdown, EscapesTheLabels) {
    const std::vector<Result> results = {result(ResultKind::Read, 20000, 1.0)};
    const std::string markdown =
        comparisonMarkdown({compareRuns(run("a|b_*.json", results), run("c", {}))});
    EXPECT_NE(markdown.find("| a\\|b\\_\\*.json |"), std::string::npos) << markdown;
    EXPECT_NE(markdown.find("- **read**: only in a\\|b\\_\\*.json\n"), std::string::npos)
        << markdown;
}

} // namespace
} // namespace quorlan
