#include "mpi/StepGate.h"

#include "bench/Bench.h"
#include "bench/CancelToken.h"
#include "log/LogSink.h"
#include "mpi/MpiWorld.h"
#include "mpi/SteppedClock.h"
#include "ranks/CombinedRun.h"

namespace quorlan {

namespace {

// What a rank tells the others at each wait, as doubles: whether it has a file to handle, whether
// it was signalled, then the step it closed (step 0: none), its result (typeCode -1: none; sizes
// are exact up to 2^53 bytes), its cache mode and its timed span (both -1: none).
constexpr std::size_t toldValues = 9;

std::vector<double> told(bool hasFile, bool signalled, const std::optional<RankStep> &closed) {
    // has a file, signalled, step, typeCode, size, time, cache, start, end
    std::vector<double> values{hasFile ? 1.0 : 0.0, signalled ? 1.0 : 0.0, 0, -1, 0, 0, 0, -1, -1};
    if (!closed)
        return values;
    values[2] = static_cast<double>(closed->step);
    if (closed->result) {
        values[3] = static_cast<double>(resultTypeCode(closed->result->type));
        values[4] = static_cast<double>(closed->result->size);
        values[5] = closed->result->time;
        values[6] = static_cast<double>(closed->cache);
    }
    if (closed->start && closed->end) {
        values[7] = *closed->start;
        values[8] = *closed->end;
    }
    return values;
}

std::optional<RankStep> closedStepOf(const double *values) {
    if (values[2] <= 0)
        return std::nullopt;
    RankStep step;
    step.step = static_cast<std::int64_t>(values[2]);
    if (values[3] >= 0 && values[5] > 0) {
        const auto size = static_cast<std::int64_t>(values[4]);
        step.result = Result{ResultKind{static_cast<std::int64_t>(values[3])}, size, values[5],
                             static_cast<double>(size) / values[5]};
        step.cache = static_cast<CacheMode>(static_cast<int>(values[6]));
    }
    if (values[7] >= 0 && values[8] >= 0) {
        step.start = values[7];
        step.end = values[8];
    }
    return step;
}

} // namespace

StepGate::StepGate(MpiWorld &world, SteppedClock &clock, const Bench &bench,
                   const CancelToken &signalled, CancelToken &cancel, ProgressSink *inner,
                   LogSink *steps)
    : world_(world), clock_(clock), bench_(bench), signalled_(signalled), cancel_(cancel),
      inner_(inner), stepLog_(steps) {}

void StepGate::fileStarted(const Progress &progress) {
    closeStep();
    waitForEveryRank(true);
    stepOpen_ = true;
    resultsBefore_ = bench_.lastRun.results.size();
    if (inner_)
        inner_->fileStarted(progress);
    clock_.beginStep();
    released_ = clock_.unnotedTicks();
}

void StepGate::writesPlanned(const WritePlan &plan) {
    if (inner_)
        inner_->writesPlanned(plan);
}

void StepGate::finish() {
    closeStep();
    while (waitForEveryRank(false)) {
    }
}

void StepGate::closeStep() {
    if (!stepOpen_)
        return;
    stepOpen_ = false;
    const Timebase &timebase = bench_.timebase;
    RankStep step;
    step.step = static_cast<std::int64_t>(steps_.size()) + 1;
    const auto &results = bench_.lastRun.results;
    if (results.size() > resultsBefore_) {
        step.result = results.back().result;
        step.cache = results.back().cache;
    }
    const auto first = clock_.firstReading();
    const auto last = clock_.lastReading();
    if (first && last && *first >= released_) {
        step.start = timebase.ticksToSeconds(*first - released_);
        step.end = timebase.ticksToSeconds(*last - released_);
        step.monotonicStart = timebase.ticksToSeconds(*first);
        step.monotonicEnd = timebase.ticksToSeconds(*last);
    }
    steps_.push_back(step);
    closed_ = step;
}

bool StepGate::waitForEveryRank(bool hasFile) {
    const std::vector<double> all =
        world_.gatherEverywhere(told(hasFile, signalled_.cancelled(), closed_));
    closed_.reset();
    bool anyFile = false;
    for (std::size_t at = 0; at < all.size(); at += toldValues) {
        anyFile = anyFile || all[at] != 0;
        if (all[at + 1] != 0)
            cancel_.cancel();
    }
    if (stepLog_)
        logClosedSteps(all);
    return anyFile;
}

void StepGate::logClosedSteps(const std::vector<double> &all) {
    std::vector<RankRun> ranks;
    for (std::size_t at = 0; at < all.size(); at += toldValues) {
        RankRun rank;
        rank.rank = static_cast<int>(at / toldValues);
        if (const std::optional<RankStep> step = closedStepOf(&all[at]))
            rank.steps.push_back(*step);
        ranks.push_back(std::move(rank));
    }
    for (const AggregateStep &step : aggregateSteps(ranks))
        stepLog_->appendToLog(aggregateStepLine(step));
}

} // namespace quorlan
