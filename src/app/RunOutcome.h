#pragma once

#include "bench/RunRecord.h"

#include <QString>

namespace quorlan {

// What the status area says about a run that ended with failed operations: how many of how many
// failed, and the system's text for the first failure when it set one. Empty when none failed.
// The log never holds this: it keeps the run's own lines exactly.
QString failureSentence(const RunRecord &run);

// Why a result field of the run shows "n/a" (no rate could be regressed): writes selects the
// write field, otherwise the read field. A regressed rate needs files of two different sizes.
QString notAvailableReason(const RunRecord &run, bool writes);

} // namespace quorlan
