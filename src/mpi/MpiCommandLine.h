#pragma once

#include <string>
#include <vector>

namespace quorlan {

class MpiWorld;

// quorlan-bench-mpi on one rank: the arguments (without the program name) are quorlan-bench's,
// and --shift or --no-shift. multi-write, multi-read and mixed run on every rank together, each
// in PATH/rank-K/ with its log in PATH/rank-K.log, and rank 0 prints the combined log; the other
// commands run on rank 0 alone, exactly as quorlan-bench runs them. Returns the exit status,
// the same on every rank: the largest of the ranks' statuses.
int runMpiCommandLine(MpiWorld &world, std::vector<std::string> arguments);

// The lines --help adds before quorlan-bench's own text.
std::string mpiUsageText();

} // namespace quorlan
