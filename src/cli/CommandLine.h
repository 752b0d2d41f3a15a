#pragma once

#include <string>
#include <vector>

namespace quorlan {

// Exit statuses: 0 when the test ran (whatever it measured), 1 when it ran but a results file
// (--json, --csv) could not be written (message on stderr), 2 for a usage error or a path the
// window's panels could never yield (message on stderr, nothing written).
inline constexpr int exitRan = 0;
inline constexpr int exitResultsUnwritten = 1;
inline constexpr int exitUsage = 2;

// Parses the arguments (without the program name), runs the test, prints its log on stdout and
// then writes the results files asked for.
int runCommandLine(const std::vector<std::string> &arguments);

} // namespace quorlan
