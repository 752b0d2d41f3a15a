#pragma once

#include "bench/ProgressSink.h"
#include "ranks/RankStep.h"

#include <cstdint>
#include <vector>

namespace quorlan {

class Bench;
class CancelToken;
class MpiWorld;
class SteppedClock;

// Makes every file of a coordinated test a step that all ranks start together: before each file
// it closes the step before (what the rank measured in it, and when), waits until every rank has
// reached its own next file or its end, and begins the next step. A cancel on any rank (Ctrl-C
// on mpirun reaches every rank as SIGTERM) cancels every rank at the same step. Ranks whose tests
// end sooner take part in the steps of the others until every rank is done (finish), so that a
// rank with fewer files never blocks another.
class StepGate final : public ProgressSink {
public:
    // None is owned; inner (may be null) is told of each file and of the writes planned, after
    // the wait.
    StepGate(MpiWorld &world, SteppedClock &clock, const Bench &bench, CancelToken &cancel,
             ProgressSink *inner);

    void fileStarted(const Progress &progress) override;
    void writesPlanned(const WritePlan &plan) override;
    // After the rank's test: closes its last step, then waits with the others until every rank
    // has finished.
    void finish();

    // Every step this rank took part in with a file, in order.
    const std::vector<RankStep> &steps() const { return steps_; }

private:
    void closeStep();
    // Waits for every rank; true while any of them still has a file to handle.
    bool waitForEveryRank(bool hasFile);

    MpiWorld &world_;
    SteppedClock &clock_;
    const Bench &bench_;
    CancelToken &cancel_;
    ProgressSink *inner_;
    std::vector<RankStep> steps_;
    bool stepOpen_ = false;
    std::uint64_t released_ = 0;    // the clock when this rank left the step's barrier
    std::size_t resultsBefore_ = 0; // the run's results when the step began
};

} // namespace quorlan
