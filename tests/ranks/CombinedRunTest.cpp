#include "ranks/CombinedRun.h"

#include "../support/GoldenMatch.h"
#include "bench/ResultsFile.h"

#include <QJsonArray>
#include <QJsonDocument>

#include <gtest/gtest.h>

#include <cerrno>

using namespace quorlan;
using namespace quorlan::testing;
using namespace std::chrono_literals;

namespace {

// A step of one rank that measured size bytes in time seconds over [start, end].
RankStep measuredStep(std::int64_t step, ResultKind kind, std::int64_t size, double time,
                      double start, double end, CacheMode cache = CacheMode::None) {
    RankStep s;
    s.step = step;
    s.result = Result{kind, size, time, static_cast<double>(size) / time};
    s.cache = cache;
    s.start = start;
    s.end = end;
    s.monotonicStart = 100.0 + start;
    s.monotonicEnd = 100.0 + end;
    return s;
}

RankRun rankWith(int rank, const char *host, std::vector<RankStep> steps) {
    RankRun r;
    r.rank = rank;
    r.host = host;
    r.steps = std::move(steps);
    return r;
}

std::string linesOf(const std::vector<RankRun> &ranks) {
    std::string text;
    for (const AggregateStep &step : aggregateSteps(ranks))
        text += aggregateStepLine(step);
    return text;
}

// Three ranks of a mixed test on two hosts: rank 1's second write failed, rank 2 was cancelled
// after its reads began.
std::vector<RankRun> threeRanks() {
    const ResultKind w = ResultKind::Write;
    const ResultKind r = ResultKind::UncachedRead;
    std::vector<RankRun> ranks = {
        rankWith(0, "alpha",
                 {measuredStep(1, w, 1000000, 0.5, 0.25, 0.75),
                  measuredStep(2, w, 2000000, 0.5, 0.0, 0.5),
                  measuredStep(3, r, 1000000, 0.125, 0.0, 0.125, CacheMode::Direct)}),
        rankWith(1, "beta",
                 {measuredStep(1, w, 1000000, 0.25, 0.5, 0.75),
                  RankStep{2, {}, CacheMode::None, 0.0, 1.0, {}, {}},
                  measuredStep(3, r, 1000000, 0.25, 0.0, 0.25, CacheMode::PagesDropped)}),
        rankWith(2, "alpha",
                 {measuredStep(1, w, 1000000, 1.0, 0.0, 1.0),
                  measuredStep(2, w, 2000000, 1.0, 0.25, 1.25),
                  measuredStep(3, r, 1000000, 0.5, 0.0, 0.5, CacheMode::Direct)}),
    };
    for (RankRun &rank : ranks) {
        rank.run.command = "mixed";
        rank.run.path = "/shared/rank-" + std::to_string(rank.rank);
        rank.run.panel.noCache = 1;
        rank.run.start = Date{} + 1796619600s + std::chrono::seconds(rank.rank);
        rank.run.end = Date{} + 1796619610s - std::chrono::seconds(rank.rank);
        rank.run.operations = 3;
        rank.context = {"Mac model = Unknown\n", "Test OS " + std::to_string(rank.rank), "9.8.7",
                        "ext4"};
        for (const RankStep &step : rank.steps)
            if (step.result)
                rank.run.results.push_back(
                    {*step.result, rank.run.path + "/" + std::to_string(step.step) + ".tiff",
                     step.cache});
    }
    ranks[1].run.failedOperations = 1;
    ranks[1].run.firstFailureErrno = ENOSPC;
    ranks[2].run.cancelled = true;
    return ranks;
}

} // namespace

// Each step's bytes over the span from the earliest start to the latest end of the ranks that
// measured it; a rank without a measurement or without a timed span is left out of the step, and
// a step none measured (or whose span is not positive) is no line. Kinds apart, the read first.
TEST(AggregateSteps, EachStepIsItsBytesOverItsWholeSpanWithTheSlowestAndFastestRank) {
    const ResultKind w = ResultKind::Write;
    RankStep untimed = measuredStep(1, w, 1000, 0.5, 0, 0);
    untimed.start.reset();
    const struct {
        const char *name;
        std::vector<RankRun> ranks;
        const char *lines;
    } cases[] = {
        {"two ranks, the second slower",
         {rankWith(0, "h", {measuredStep(1, w, 1000000, 0.5, 0.25, 0.75)}),
          rankWith(1, "h", {measuredStep(1, w, 1000000, 1.0, 0.5, 2.25)})},
         "1,w,2,2000000,2.0,1000000,1,1000000,0,2000000\n"},
        {"the fastest rank last, the span from the latest end",
         {rankWith(0, "h", {measuredStep(1, w, 1000, 1.0, 0.0, 1.0)}),
          rankWith(1, "h", {measuredStep(1, w, 1000, 0.5, 0.5, 4.0)})},
         "1,w,2,2000,4.0,500,0,1000,1,2000\n"},
        {"a tie names the lower rank",
         {rankWith(0, "h", {measuredStep(1, w, 1000, 1.0, 0.0, 1.0)}),
          rankWith(1, "h", {measuredStep(1, w, 1000, 1.0, 0.0, 1.0)})},
         "1,w,2,2000,1.0,2000,0,1000,0,1000\n"},
        {"a rank with nothing measured, or nothing timed, is left out",
         {rankWith(0, "h",
                   {measuredStep(1, w, 1000, 1.0, 0.0, 1.0),
                    RankStep{2, {}, CacheMode::None, 0.0, 1.0, {}, {}}}),
          rankWith(1, "h", {untimed, measuredStep(2, w, 3000, 0.5, 0.0, 0.5)})},
         "1,w,1,1000,1.0,1000,0,1000,0,1000\n2,w,1,3000,0.5,6000,1,6000,1,6000\n"},
        {"no span, no line", {rankWith(0, "h", {measuredStep(1, w, 1000, 1.0, 1.0, 1.0)})}, ""},
        {"two kinds at one step, in the order of their codes",
         {rankWith(0, "h", {measuredStep(1, w, 1000, 1.0, 0.0, 1.0)}),
          rankWith(1, "h", {measuredStep(1, ResultKind::Read, 4000, 1.0, 0.0, 2.0)})},
         "1,r,1,4000,2.0,2000,1,4000,1,4000\n1,w,1,1000,1.0,1000,0,1000,0,1000\n"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(linesOf(c.ranks), c.lines);
    }
    EXPECT_EQ(aggregateHeaderLine(),
              "step,type,ranks,bytes,span,rate,slowest_rank,slowest_rate,fastest_rank,"
              "fastest_rate\n");
}

// The whole combined log and results document of three ranks on two hosts, against their
// snapshots: the step table, the cancel, the report, the path, the hosts each once and rank 0's
// footer over the earliest start and the latest end; the counts summed, the first failure kept.
TEST(CombinedRun, TheLogAndTheResultsOfThreeRanksMatchTheirSnapshots) {
    const std::vector<RankRun> ranks = threeRanks();
    EXPECT_TRUE(matchesSnapshot(combinedLog(ranks, "/shared"), "ranks-combined-log.txt"));
    const QByteArray json = combinedJson(ranks, "/shared");
    EXPECT_TRUE(matchesSnapshot(json.toStdString(), "ranks-combined.json"));

    const RunRecord run = aggregateRun(ranks, "/shared", aggregateSteps(ranks));
    EXPECT_EQ(run.operations, 9);
    EXPECT_EQ(run.failedOperations, 1);
    EXPECT_EQ(run.firstFailureErrno, ENOSPC);
    EXPECT_TRUE(run.cancelled);

    // compare reads the document as the aggregate run.
    const ResultsFileReading reading = parseResultsJson(
        std::string_view(json.constData(), static_cast<std::size_t>(json.size())), "combined.json");
    ASSERT_TRUE(reading.file) << reading.error;
    EXPECT_EQ(reading.file->run.results.size(), 3u);
    EXPECT_EQ(reading.file->run.path, "/shared");
    // The reads' modes differed: the aggregate takes the weakest bypass of them.
    EXPECT_EQ(reading.file->run.results.back().cache, CacheMode::PagesDropped);
}

// A rank travels to rank 0 as its object and comes back whole; what is not a rank's object is
// refused.
TEST(CombinedRun, ARankObjectReadsBackAsTheSameRank) {
    for (const RankRun &rank : threeRanks()) {
        SCOPED_TRACE(rank.rank);
        RankRun back;
        ASSERT_TRUE(readRankObject(QJsonDocument(rankObject(rank)).toJson().toStdString(), back));
        EXPECT_EQ(rankObject(back), rankObject(rank));
    }
    RankRun none;
    QJsonObject noRank = rankObject(threeRanks().front());
    noRank.remove("rank");
    EXPECT_FALSE(readRankObject(QJsonDocument(noRank).toJson().toStdString(), none));
}
