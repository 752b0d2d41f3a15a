#pragma once

#include <string>
#include <vector>

namespace quorlan {

// Exit statuses: 0 when the test ran (whatever it measured), 2 for a usage error or a path the
// window's panels could never yield (message on stderr, nothing written).
inline constexpr int exitRan = 0;
inline constexpr int exitUsage = 2;

// Parses the arguments (without the program name), runs the test and prints its log on stdout.
int runCommandLine(const std::vector<std::string> &arguments);

} // namespace quorlan
