#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace quorlan {

// Creates or replaces file with bytes through writeUserFile (the name is used byte for byte). On
// failure, says so on stderr ("PROGRAM: cannot write WHAT to ...", program with its ": ") with
// the system's reason and returns false; a partly written file is left as it is.
bool writeResultsFile(const char *program, const std::string &file, std::string_view bytes,
                      const char *what = "results");

// Parses the arguments (without the program name), runs the test, prints its log on stdout,
// writes the results files asked for and returns the exit status (see CommandLineOptions.h).
int runCommandLine(const std::vector<std::string> &arguments);

} // namespace quorlan
