#pragma once

#include "bench/ProgressSink.h"
#include "ranks/RankStep.h"

#include <cstdint>
#include <optional>
#include <vector>

namespace quorlan {

class Bench;
class CancelToken;
class LogSink;
class MpiWorld;
class SteppedClock;

// Makes every file of a coordinated test a step that all ranks start together: before each file
// it closes the step before (what the rank measured in it, and when), waits until every rank has
// reached its own next file or its end, and begins the next step. The wait is one exchange among
// all ranks of the step each has just closed and of whether a signal asked it to stop: a signal
// on any rank (Ctrl-C on mpirun reaches every rank as SIGTERM) cancels every rank at the same
// step, after the file in progress, and rank 0 logs each step's aggregate line as soon as every
// rank has closed it. Ranks whose tests end sooner take part in the steps of the others until
// every rank is done (finish), so that a rank with fewer files never blocks another.
class StepGate final : public ProgressSink {
public:
    // None is owned. signalled is set by the rank's signal handler; cancel is the test's token,
    // set here once any rank was signalled. inner (may be null) is told of each file and of the
    // writes planned. steps (rank 0's, else null) receives the aggregate step lines.
    StepGate(MpiWorld &world, SteppedClock &clock, const Bench &bench, const CancelToken &signalled,
             CancelToken &cancel, ProgressSink *inner, LogSink *steps);

    void fileStarted(const Progress &progress) override;
    void writesPlanned(const WritePlan &plan) override;
    // After the rank's test: closes its last step, then waits with the others until every rank
    // has finished.
    void finish();

    // Every step this rank took part in with a file, in order.
    const std::vector<RankStep> &steps() const { return steps_; }

private:
    void closeStep();
    // Tells every rank the step just closed; true while any rank still has a file to handle.
    bool waitForEveryRank(bool hasFile);
    // Rank 0: the aggregate lines of the steps the ranks closed, from their exchanged values.
    void logClosedSteps(const std::vector<double> &all);

    MpiWorld &world_;
    SteppedClock &clock_;
    const Bench &bench_;
    const CancelToken &signalled_;
    CancelToken &cancel_;
    ProgressSink *inner_;
    LogSink *stepLog_;
    std::vector<RankStep> steps_;
    std::optional<RankStep> closed_; // closed since the last wait, not yet told
    bool stepOpen_ = false;
    std::uint64_t released_ = 0;    // the clock when this rank left the step's barrier
    std::size_t resultsBefore_ = 0; // the run's results when the step began
};

} // namespace quorlan
