#pragma once

#include <string>
#include <vector>

namespace quorlan {

// Parses the arguments (without the program name), runs the test, prints its log on stdout,
// writes the results files asked for and returns the exit status (see CommandLineOptions.h).
int runCommandLine(const std::vector<std::string> &arguments);

} // namespace quorlan
