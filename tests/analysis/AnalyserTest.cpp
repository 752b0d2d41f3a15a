#include "analysis/Analyser.h"

#include "../support/GoldenMatch.h"

#include <gtest/gtest.h>

#include <limits>
#include <string>
#include <tuple>
#include <vector>

namespace quorlan {
namespace {

struct Measurement {
    ResultKind type;
    std::int64_t size;
    double time;
};

void add(Analyser &a, const std::vector<Measurement> &measurements) {
    for (const Measurement &m : measurements)
        a.addResult(m.type, m.size, m.time, static_cast<double>(m.size) / m.time);
}

// keeps() is the rule addResult applies: a signed comparison with minSize, equal kept.
TEST(AnalyserStore, KeepsSaysExactlyWhatAddResultRecords) {
    constexpr std::int64_t lowest = std::numeric_limits<std::int64_t>::min();
    constexpr std::int64_t highest = std::numeric_limits<std::int64_t>::max();
    const std::tuple<std::int64_t, std::int64_t, bool> cases[] = {{5000, 4999, false},
                                                                  {5000, 5000, true},
                                                                  {5000, 5001, true},
                                                                  {0, -1, false},
                                                                  {0, 0, true},
                                                                  {lowest, lowest, true},
                                                                  {highest, highest - 1, false},
                                                                  {highest, highest, true}};
    for (const auto &[minSize, size, kept] : cases) {
        SCOPED_TRACE(std::to_string(minSize) + " " + std::to_string(size));
        Analyser a;
        a.minSize = minSize;
        EXPECT_EQ(a.keeps(size), kept);
        a.addResult(ResultKind::Read, size, 1.0, 1.0);
        EXPECT_EQ(a.theRates.size() + a.theReads1.size() + a.theSizeSet.size(), kept ? 3u : 0u);
    }
}

TEST(AnalyserStore, ResetKeepsMinSizeAndResultTexts) {
    Analyser a;
    a.minSize = 10;
    add(a, {{ResultKind::Read, 2000000, 0.02}, {ResultKind::Read, 4000000, 0.03}});
    a.buildReport();
    a.reset();
    EXPECT_TRUE(a.theRates.empty() && a.theReads1.empty() && a.theSizeSet.empty());
    EXPECT_EQ(a.minSize, 10);
    EXPECT_EQ(a.theReadResult, "198.00 MB/s");
    EXPECT_EQ(a.theWriteResult, "0.00 MB/s");
}

// The whole report text of each kind of run, followed by the two result texts it sets (those of
// a kind the run has not measured stay as they were). Building twice gives the same text.
TEST(AnalyserReport, ReportsMatchTheirSnapshots) {
    using enum ResultKind;
    const std::pair<const char *, std::vector<Measurement>> cases[] = {
        {"report-empty.txt", {}},
        {"report-three-reads.txt",
         {{Read, 8000000, 0.078}, {Read, 2000000, 0.025}, {Read, 4000000, 0.041}}},
        {"report-two-writes.txt", {{Write, 2000000, 0.02}, {Write, 4000000, 0.03}}},
        // Regular reads at 198 MB/s, uncached at 100 MB/s: the uncached figure is the read result.
        {"report-both-reads.txt",
         {{Read, 2000000, 0.02},
          {Read, 4000000, 0.03},
          {UncachedRead, 2000000, 0.02},
          {UncachedRead, 4000000, 0.04}}},
        {"report-one-uncached-read.txt", {{UncachedRead, 2000000, 0.008}}},
        // A size only the write has shows n/a among the reads, and the reads' among the writes.
        {"report-write-size-among-reads.txt",
         {{Read, 2000000, 0.02}, {Read, 4000000, 0.03}, {Write, 3000000, 0.1}}},
        // A code of no known kind counts in the overall average and brings its size, nothing else.
        {"report-unknown-kind.txt", {{Read, 2000000, 0.02}, {ResultKind{7}, 3000000, 0.1}}},
        // A size measured twice shows the rate of its median time (0.02 s: 50 MB/s).
        {"report-same-size-twice.txt",
         {{Read, 1000000, 0.01}, {Read, 1000000, 0.03}, {Read, 2000000, 0.04}}}};
    for (const auto &[snapshot, measurements] : cases) {
        SCOPED_TRACE(snapshot);
        Analyser a;
        add(a, measurements);
        const std::string report = a.buildReport();
        EXPECT_EQ(a.buildReport(), report);
        EXPECT_TRUE(testing::matchesSnapshot(report + "read result " + a.theReadResult +
                                                 "\nwrite result " + a.theWriteResult + "\n",
                                             snapshot));
    }
}

} // namespace
} // namespace quorlan
