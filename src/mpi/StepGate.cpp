#include "mpi/StepGate.h"

#include "bench/Bench.h"
#include "bench/CancelToken.h"
#include "mpi/MpiWorld.h"
#include "mpi/SteppedClock.h"

namespace quorlan {

StepGate::StepGate(MpiWorld &world, SteppedClock &clock, const Bench &bench, CancelToken &cancel,
                   ProgressSink *inner)
    : world_(world), clock_(clock), bench_(bench), cancel_(cancel), inner_(inner) {}

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
}

bool StepGate::waitForEveryRank(bool hasFile) {
    const std::array<int, 2> all = world_.largest({hasFile ? 1 : 0, cancel_.cancelled() ? 1 : 0});
    if (all[1] != 0)
        cancel_.cancel();
    return all[0] != 0;
}

} // namespace quorlan
