#include "analysis/Analyser.h"

#include <gtest/gtest.h>

#include <fstream>
#include <limits>
#include <sstream>
#include <string>

namespace quorlan {
namespace {

std::string readFixture(const std::string &name) {
    std::ifstream in(std::string(QUORLAN_FIXTURES) + "/" + name, std::ios::binary);
    std::stringstream buffer;
    buffer << in.rdbuf();
    return buffer.str();
}

void add(Analyser &a, ResultKind type, std::int64_t size, double time) {
    a.addResult(type, size, time, static_cast<double>(size) / time);
}

TEST(AnalyserStore, StartsEmptyWithZeroResultTexts) {
    Analyser a;
    EXPECT_EQ(a.minSize, 0);
    EXPECT_TRUE(a.theRates.empty());
    EXPECT_TRUE(a.theWrites.empty());
    EXPECT_TRUE(a.theReads1.empty());
    EXPECT_TRUE(a.theReads2.empty());
    EXPECT_TRUE(a.theSizeSet.empty());
    EXPECT_EQ(a.theReadResult, "0.00 MB/s");
    EXPECT_EQ(a.theWriteResult, "0.00 MB/s");
}

TEST(AnalyserStore, MinSizeDropsSmallerAndKeepsEqual) {
    Analyser a;
    a.minSize = 5000;
    add(a, ResultKind::Read, 4999, 0.01);
    EXPECT_TRUE(a.theRates.empty());
    EXPECT_TRUE(a.theReads1.empty());
    EXPECT_TRUE(a.theSizeSet.empty());
    add(a, ResultKind::Read, 5000, 0.01);
    ASSERT_EQ(a.theReads1.size(), 1u);
    EXPECT_EQ(a.theReads1[0].size, 5000);
    EXPECT_EQ(a.theRates.size(), 1u);
    EXPECT_EQ(a.theSizeSet.count(5000), 1u);
}

// keeps() is the rule addResult applies: a signed comparison with minSize, equal kept.
TEST(AnalyserStore, KeepsSaysExactlyWhatAddResultRecords) {
    constexpr std::int64_t lowest = std::numeric_limits<std::int64_t>::min();
    constexpr std::int64_t highest = std::numeric_limits<std::int64_t>::max();
    struct Case {
        std::int64_t minSize;
        std::int64_t size;
        bool kept;
    };
    for (const Case &c : {Case{5000, 4999, false}, Case{5000, 5000, true}, Case{5000, 5001, true},
                          Case{0, -1, false}, Case{0, 0, true}, Case{lowest, lowest, true},
                          Case{highest, highest - 1, false}, Case{highest, highest, true}}) {
        Analyser a;
        a.minSize = c.minSize;
        EXPECT_EQ(a.keeps(c.size), c.kept) << c.minSize << " " << c.size;
        a.addResult(ResultKind::Write, c.size, 1.0, 1.0);
        EXPECT_EQ(a.theRates.size(), c.kept ? 1u : 0u) << c.minSize << " " << c.size;
    }
}

TEST(AnalyserStore, ZeroSizeRecordedWithZeroMinSize) {
    Analyser a;
    a.addResult(ResultKind::Write, 0, 0.01, 0.0);
    EXPECT_EQ(a.theWrites.size(), 1u);
    EXPECT_EQ(a.theSizeSet.count(0), 1u);
}

TEST(AnalyserStore, ResultsGoToTheListOfTheirKind) {
    Analyser a;
    a.addResult(ResultKind::Write, 1000000, 0.5, 2000000.0);
    a.addResult(ResultKind::UncachedRead, 2000000, 0.25, 8000000.0);
    ASSERT_EQ(a.theWrites.size(), 1u);
    ASSERT_EQ(a.theReads2.size(), 1u);
    EXPECT_TRUE(a.theReads1.empty());
    EXPECT_EQ(a.theWrites[0].type, ResultKind::Write);
    EXPECT_EQ(a.theWrites[0].size, 1000000);
    EXPECT_DOUBLE_EQ(a.theWrites[0].time, 0.5);
    EXPECT_DOUBLE_EQ(a.theWrites[0].rate, 2000000.0);
    EXPECT_EQ(a.theReads2[0].type, ResultKind::UncachedRead);
    EXPECT_EQ(a.theRates, (std::vector<double>{2000000.0, 8000000.0}));
    EXPECT_EQ(a.theSizeSet, (std::set<std::int64_t>{1000000, 2000000}));
    a.addResult(ResultKind::Read, 3000000, 1.0, 3000000.0);
    ASSERT_EQ(a.theReads1.size(), 1u);
    EXPECT_EQ(a.theReads1[0].type, ResultKind::Read);
}

TEST(AnalyserStore, UnknownCodeCountsOnlyInRatesAndSizes) {
    Analyser a;
    a.addResult(ResultKind{7}, 123456, 0.1, 1234560.0);
    EXPECT_EQ(a.theRates, (std::vector<double>{1234560.0}));
    EXPECT_EQ(a.theSizeSet, (std::set<std::int64_t>{123456}));
    EXPECT_TRUE(a.theWrites.empty());
    EXPECT_TRUE(a.theReads1.empty());
    EXPECT_TRUE(a.theReads2.empty());
}

TEST(AnalyserStore, SameSizeTwiceGivesOneSetMember) {
    Analyser a;
    add(a, ResultKind::Read, 100000, 0.1);
    add(a, ResultKind::Read, 100000, 0.2);
    EXPECT_EQ(a.theRates.size(), 2u);
    EXPECT_EQ(a.theReads1.size(), 2u);
    EXPECT_EQ(a.theSizeSet.size(), 1u);
}

TEST(AnalyserStore, ResetKeepsMinSizeAndResultTexts) {
    Analyser a;
    a.minSize = 10;
    add(a, ResultKind::Read, 2000000, 0.02);
    add(a, ResultKind::Read, 4000000, 0.03);
    a.buildReport();
    const std::string readResult = a.theReadResult;
    ASSERT_NE(readResult, "0.00 MB/s");
    a.reset();
    EXPECT_TRUE(a.theRates.empty());
    EXPECT_TRUE(a.theReads1.empty());
    EXPECT_TRUE(a.theSizeSet.empty());
    EXPECT_EQ(a.minSize, 10);
    EXPECT_EQ(a.theReadResult, readResult);
    EXPECT_EQ(a.theWriteResult, "0.00 MB/s");
}

TEST(AnalyserReport, ThreeRegularReadsMatchGoldenText) {
    Analyser a;
    add(a, ResultKind::Read, 8000000, 0.078);
    add(a, ResultKind::Read, 2000000, 0.025);
    add(a, ResultKind::Read, 4000000, 0.041);
    const std::string expected = readFixture("report-three-reads.txt");
    ASSERT_FALSE(expected.empty());
    EXPECT_EQ(a.buildReport(), expected);
    EXPECT_EQ(a.theReadResult, "111.72 MB/s");
    EXPECT_EQ(a.theWriteResult, "0.00 MB/s");
    // Building again on the same contents gives the same text.
    EXPECT_EQ(a.buildReport(), expected);
}

TEST(AnalyserReport, WriteOnlyRunLeavesReadResultAlone) {
    Analyser a;
    add(a, ResultKind::Write, 2000000, 0.02);
    add(a, ResultKind::Write, 4000000, 0.03);
    const std::string report = a.buildReport();
    EXPECT_EQ(report, "\nWrite = 2\n\tAverage = 116.67 MB/s\n"
                      "median = 116.67 MB/second (100.00 MB/s - 133.33 MB/s)\n"
                      "\nsize_write,rate_write\n2000000,100.00 MB/s\n4000000,133.33 MB/s\n"
                      "\nWrite n = 2\n\tRegressed rate = 198.00 MB/s\n"
                      "\nOverall = 2\n\tAverage = 116.67 MB/s\n");
    EXPECT_EQ(report.find("Read"), std::string::npos);
    EXPECT_EQ(a.theReadResult, "0.00 MB/s");
    EXPECT_EQ(a.theWriteResult, "198.00 MB/s");
}

TEST(AnalyserReport, BothReadKindsEndWithUncachedFigure) {
    Analyser a;
    // Regular reads: line time = 0.01 + size / 200000000 -> 198 MB/s.
    add(a, ResultKind::Read, 2000000, 0.02);
    add(a, ResultKind::Read, 4000000, 0.03);
    // Uncached reads: line time = size / 100000000 -> 100 MB/s.
    add(a, ResultKind::UncachedRead, 2000000, 0.02);
    add(a, ResultKind::UncachedRead, 4000000, 0.04);
    const std::string report = a.buildReport();
    EXPECT_EQ(a.theReadResult, "100.00 MB/s");
    const auto regular = report.find("\nRead (regular) n = 2\n\tAverage = ");
    const auto uncached = report.find("\nRead (noncache) = 2\n\tAverage = ");
    ASSERT_NE(regular, std::string::npos);
    ASSERT_NE(uncached, std::string::npos);
    EXPECT_LT(regular, uncached);
    EXPECT_NE(report.find("\nRead (regular) n = 2\n\tRegressed rate = 198.00 MB/s\n"),
              std::string::npos);
    EXPECT_NE(report.find("\nRead (noncache) n = 2\n\tRegressed rate = 100.00 MB/s\n"),
              std::string::npos);
    EXPECT_NE(report.find("\nOverall = 4\n"), std::string::npos);
}

TEST(AnalyserReport, OneResultSectionShowsNoRegressedRate) {
    Analyser a;
    a.addResult(ResultKind::UncachedRead, 2000000, 0.008, 250000000.0);
    const std::string report = a.buildReport();
    EXPECT_EQ(report, "\nRead (noncache) = 1\n\tAverage = 250.00 MB/s\n"
                      "median = 250.00 MB/second (250.00 MB/s - 250.00 MB/s)\n"
                      "\nsize_read,rate_read\n2000000,250.00 MB/s\n"
                      "\nRead (noncache) n = 1\n\tRegressed rate = n/a\n"
                      "\nOverall = 1\n\tAverage = 250.00 MB/s\n");
    EXPECT_EQ(a.theReadResult, "n/a");
}

TEST(AnalyserReport, SizeBroughtInByWriteHasNoReadRate) {
    Analyser a;
    add(a, ResultKind::Read, 2000000, 0.02);
    add(a, ResultKind::Read, 4000000, 0.03);
    add(a, ResultKind::Write, 3000000, 0.1);
    const std::string report = a.buildReport();
    EXPECT_NE(report.find(
                  "\nsize_read,rate_read\n2000000,100.00 MB/s\n3000000,n/a\n4000000,133.33 MB/s\n"),
              std::string::npos)
        << report;
    EXPECT_NE(
        report.find("\nsize_write,rate_write\n2000000,n/a\n3000000,30.00 MB/s\n4000000,n/a\n"),
        std::string::npos)
        << report;
}

TEST(AnalyserReport, EmptyAnalyserHasNoOverallMean) {
    Analyser a;
    EXPECT_EQ(a.buildReport(), "\nOverall = 0\n\tAverage = n/a\n");
    EXPECT_EQ(a.theReadResult, "0.00 MB/s");
    EXPECT_EQ(a.theWriteResult, "0.00 MB/s");
}

TEST(AnalyserReport, SameSizeRowUsesMeanOfTwoTimes) {
    Analyser a;
    add(a, ResultKind::Read, 1000000, 0.01);
    add(a, ResultKind::Read, 1000000, 0.03);
    add(a, ResultKind::Read, 2000000, 0.04);
    const std::string report = a.buildReport();
    // Median time of 0.01 and 0.03 is 0.02 -> 50 MB/s.
    EXPECT_NE(report.find("\n1000000,50.00 MB/s\n2000000,50.00 MB/s\n"), std::string::npos)
        << report;
}

} // namespace
} // namespace quorlan
