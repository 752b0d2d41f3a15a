#pragma once

#include "bench/RunRecord.h"
#include "bench/SysCalls.h"

#include <string>
#include <vector>

namespace quorlan {

// Honest remarks about what a finished run's rates measure, for the window's status area and the
// command line's stderr (never the log). Each is one English sentence without a line end; they
// come in this order, each at most once:
//   1. the test path is on a RAM-backed file system (tmpfs, ramfs);
//   2. the test path is on a network file system;
//   3. uncached reads that could not bypass the cache (CacheMode::NotBypassed);
//   4. written files of at least 1,000,000 bytes that still exist and occupy less than half their
//      size on the volume (compressed, deduplicated or sparse); each path counts once, with the
//      size of its last write;
//   5. uncached reads (other than those of 3) more than 10 times faster than the latest earlier
//      write of the same path in the run;
//   6. the run has results and all of them are under 10,000,000 bytes.
// 1 and 2 depend only on the path (the file's own file system, or its folder's before it
// exists); a run without a command (nothing run yet) gives none. calls is used for statfs and
// stat only; nothing is opened or written.
std::vector<std::string> runWarnings(const RunRecord &run, SysCalls &calls);

} // namespace quorlan
