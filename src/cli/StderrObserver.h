#pragma once

#include "bench/ProgressSink.h"

namespace quorlan {

class SysCalls;

// What quorlan-bench writes on standard error while a test runs, never into the log: on a
// terminal, one progress line rewritten for every file; anywhere, a warning when the bytes a test
// is about to write do not fit in the volume's free space (with the space of the files it
// replaces). The test goes on either way: what fails is part of what is measured.
class StderrObserver final : public ProgressSink {
public:
    StderrObserver(SysCalls &calls, bool terminal) : calls_(calls), terminal_(terminal) {}

    void fileStarted(const Progress &progress) override;
    void writesPlanned(const WritePlan &plan) override;
    // Erases the progress line, if one is shown.
    void clearLine();

private:
    SysCalls &calls_;
    bool terminal_;
};

} // namespace quorlan
