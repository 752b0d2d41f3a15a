#pragma once

#include "bench/PanelSettings.h"
#include "cli/UserPath.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace quorlan {

class Bench;

// Exit statuses of quorlan-bench. A run stopped by a signal exits with 128 + its number: 130 for
// SIGINT, 143 for SIGTERM.
inline constexpr int exitSucceeded = 0; // the test ran and every timed operation succeeded
inline constexpr int exitFailed = 1;    // it ran, but an operation failed or nothing could be
                                        // measured, or a results file could not be written
inline constexpr int exitUsage = 2;     // a usage error or a PATH the window could never yield,
                                        // or a results file to compare that cannot be read

// A command of quorlan-bench: its word, the test it runs and what its PATH must be; compare runs
// no test (test is nullptr) and takes results files instead of a PATH.
struct Command {
    const char *name;
    void (Bench::*test)(const std::string &path, const PanelSettings &panel);
    PathKind path;    // of a test
    const char *help; // for --help
};

// What the arguments ask for. Texts are the argument bytes as given (file names need not be
// UTF-8).
struct CommandLineOptions {
    const Command *command = nullptr;
    std::string path;               // as typed
    std::vector<std::string> files; // compare: BASE, then each run compared with it, as typed
    bool markdown = false;          // compare: Markdown tables instead of plain text
    PanelSettings panel;
    std::optional<std::vector<std::int64_t>> sizes; // --sizes
    std::optional<std::string> jsonFile;            // --json FILE
    std::optional<std::string> csvFile;             // --csv FILE
};

// The options to run, or the exit status of a call that has been answered already: help or
// version printed on stdout (exitSucceeded), or a usage message on stderr (exitUsage).
struct ParsedCommandLine {
    std::optional<CommandLineOptions> options;
    int exitStatus = exitSucceeded;
};

// Reads the arguments (without the program name) with QCommandLineParser: "--opt value",
// "--opt=value", options anywhere, "--" ending them. One message per mistake, naming the option.
ParsedCommandLine parseCommandLine(const std::vector<std::string> &arguments);

// Says on stderr what is wrong and how to get help; returns exitUsage.
int usageError(const std::string &message);

// The text of --help, made from the same declarations the parser uses.
std::string usageText();

} // namespace quorlan
