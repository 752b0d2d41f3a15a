#include "cli/CommandLine.h"

#include "analysis/ComparisonText.h"
#include "bench/Bench.h"
#include "bench/ResultsExport.h"
#include "bench/ResultsFile.h"
#include "bench/RunWarnings.h"
#include "bench/SysCalls.h"
#include "bench/UserFile.h"
#include "bench/VolumeInfo.h"
#include "cli/CommandLineOptions.h"
#include "cli/SignalCancel.h"
#include "cli/StderrObserver.h"
#include "cli/UserPath.h"
#include "log/LogSink.h"
#include "sysinfo/MachineDescription.h"
#include "sysinfo/SystemProbe.h"

#include <cstdio>
#include <iostream>
#include <set>

namespace quorlan {

namespace {

class StdoutLog final : public LogSink {
public:
    void appendToLog(const std::string &text) override {
        std::fwrite(text.data(), 1, text.size(), stdout);
        std::fflush(stdout);
    }
};

constexpr const char *benchProgram = "quorlan-bench: ";

// writeResultsFile of an export.
bool writeExport(const std::string &file, const QByteArray &bytes) {
    return writeResultsFile(
        benchProgram, file,
        std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())));
}

// What the run's figures do not show by themselves, one line each on stderr, never in the log.
void printWarnings(const Bench &bench) {
    for (const std::string &warning : runWarnings(bench.lastRun, systemCalls()))
        std::cerr << "quorlan-bench: warning: " << warning << "\n";
}

// Writes the requested exports of the run that just ended; false when any could not be written.
bool writeExports(const CommandLineOptions &options, const Bench &bench) {
    if (!options.jsonFile && !options.csvFile)
        return true;
    const ExportContext context{bench.macType, bench.macOSVersion, bench.quorlanVersion,
                                fileSystemOf(systemCalls(), bench.lastRun.path).type};
    bool ok = true;
    if (options.jsonFile)
        ok = writeExport(*options.jsonFile, resultsJson(bench.lastRun, context)) && ok;
    if (options.csvFile)
        ok = writeExport(*options.csvFile, resultsCsv(bench.lastRun, context)) && ok;
    return ok;
}

// The exit status of a run that went its way; a signal outweighs everything else.
int outcomeOf(const RunRecord &run, int signal, bool exported) {
    if (signal != 0)
        return 128 + signal;
    if (!exported || run.failedOperations > 0 || run.results.empty())
        return exitFailed;
    return exitSucceeded;
}

// How the texts name each run: its file name, or the names as typed when two runs share one.
std::vector<std::string> runLabels(const std::vector<std::string> &files) {
    std::vector<std::string> labels;
    for (const std::string &file : files)
        labels.push_back(file.substr(file.find_last_of('/') + 1));
    const std::set<std::string> distinct(labels.begin(), labels.end());
    return distinct.size() == labels.size() ? labels : files;
}

// quorlan-bench compare: each further run against the first, as text on stdout and, when asked,
// as JSON in a file. Reads every file before it prints anything.
int runCompare(const CommandLineOptions &options) {
    const std::vector<std::string> labels = runLabels(options.files);
    std::vector<ComparedRun> runs;
    for (std::size_t i = 0; i < options.files.size(); ++i) {
        const ResultsFileReading reading = readResultsFile(options.files[i]);
        if (!reading.file) {
            std::cerr << "quorlan-bench: " << reading.error << "\n";
            return exitUsage;
        }
        runs.push_back(comparedRun(reading.file->run, reading.file->context, labels[i]));
    }
    std::vector<RunComparison> comparisons;
    for (std::size_t i = 1; i < runs.size(); ++i)
        comparisons.push_back(compareRuns(runs.front(), runs[i]));
    std::cout << (options.markdown ? comparisonMarkdown(comparisons) : comparisonText(comparisons))
              << std::flush;
    if (options.jsonFile && !writeResultsFile(benchProgram, *options.jsonFile,
                                              comparisonJson(comparisons), "the comparison"))
        return exitFailed;
    return exitSucceeded;
}

} // namespace

bool writeResultsFile(const char *program, const std::string &file, std::string_view bytes,
                      const char *what) {
    const int error = writeUserFile(systemCalls(), file, bytes);
    if (error != 0)
        std::cerr << program << "cannot write " << what << " to \"" << file
                  << "\": " << errorText(error) << "\n";
    return error == 0;
}

int runCommandLine(const std::vector<std::string> &arguments) {
    const ParsedCommandLine parsed = parseCommandLine(arguments);
    if (!parsed.options)
        return parsed.exitStatus;
    const CommandLineOptions &options = *parsed.options;
    if (!options.command->test)
        return runCompare(options);
    const CheckedPath path = checkedPath(options.command->path, options.path);
    if (!path.problem.empty())
        return usageError(path.problem);
    CancelToken cancel;
    const SignalCancel interruptions(cancel);
    StdoutLog log;
    Bench bench(log, systemCalls(), options.sizes.value_or(standardSizes()));
    bench.readTimebase();
    bench.theSizes = bench.theStdSizes;
    const MachineDescription machine = describeMachine(*systemProbe());
    bench.macType = machine.macType.toStdString();
    bench.macOSVersion = machine.macOSVersion.toStdString();
    bench.quorlanVersion = QUORLAN_VERSION;
    StderrObserver observer(systemCalls(), isatty(STDERR_FILENO) != 0);
    bench.setProgressSink(&observer);
    bench.setCancelToken(&cancel);
    (bench.*options.command->test)(path.path, options.panel);
    observer.clearLine();
    printWarnings(bench);
    const bool exported = writeExports(options, bench);
    return outcomeOf(bench.lastRun, interruptions.received(), exported);
}

} // namespace quorlan
