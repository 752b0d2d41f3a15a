#include "mpi/MpiCommandLine.h"

#include "bench/Bench.h"
#include "bench/ResultsExport.h"
#include "bench/RunWarnings.h"
#include "bench/TestFiles.h"
#include "bench/UserFile.h"
#include "bench/VolumeInfo.h"
#include "cli/CommandLine.h"
#include "cli/CommandLineOptions.h"
#include "cli/SignalCancel.h"
#include "cli/StderrObserver.h"
#include "log/LogSink.h"
#include "mpi/MpiWorld.h"
#include "mpi/StepGate.h"
#include "mpi/SteppedClock.h"
#include "ranks/CombinedRun.h"
#include "sysinfo/MachineDescription.h"
#include "sysinfo/SystemProbe.h"

#include <QJsonDocument>

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <iostream>
#include <optional>
#include <poll.h>
#include <random>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>

namespace quorlan {

namespace {

constexpr const char *program = "quorlan-bench-mpi: ";

// The log of one rank, kept until the test ends and then written to the rank's log file.
class KeptLog final : public LogSink {
public:
    void appendToLog(const std::string &text) override { text_ += text; }
    const std::string &text() const { return text_; }

private:
    std::string text_;
};

// Whether the mixed test reads another rank's files: --shift, --no-shift (the last one given
// counts, up to "--"), else on when there is more than one rank. Both are taken out of the
// arguments.
bool takeShift(std::vector<std::string> &arguments, int ranks) {
    bool shift = ranks > 1;
    const auto end = std::find(arguments.begin(), arguments.end(), "--");
    std::vector<std::string> kept;
    for (auto it = arguments.begin(); it != arguments.end(); ++it) {
        if (it < end && (*it == "--shift" || *it == "--no-shift"))
            shift = *it == "--shift";
        else
            kept.push_back(*it);
    }
    arguments = std::move(kept);
    return shift;
}

bool asksForHelp(const std::vector<std::string> &arguments) {
    const auto end = std::find(arguments.begin(), arguments.end(), "--");
    return std::any_of(arguments.begin(), end,
                       [](const std::string &a) { return a == "-h" || a == "--help"; });
}

bool isCoordinated(const Command &command) {
    return command.test == &Bench::performMultiWrite || command.test == &Bench::performMultiRead ||
           command.test == &Bench::performMixedTest;
}

// Runs act with standard output and standard error thrown away unless loud.
template <typename Act> auto quietUnless(bool loud, Act act) {
    if (loud)
        return act();
    std::ostringstream ignored;
    std::streambuf *const out = std::cout.rdbuf(ignored.rdbuf());
    std::streambuf *const err = std::cerr.rdbuf(ignored.rdbuf());
    auto result = act();
    std::cout.rdbuf(out);
    std::cerr.rdbuf(err);
    return result;
}

// Makes PATH/rank-K (an existing folder will do); the problem, or empty.
std::string makeRankFolder(const std::string &folder) {
    if (::mkdir(folder.c_str(), 0777) == 0)
        return {};
    const int error = errno;
    struct stat info {};
    if (error == EEXIST && ::stat(folder.c_str(), &info) == 0 && S_ISDIR(info.st_mode))
        return {};
    return "cannot make the folder \"" + folder +
           "\": " + errorText(error == EEXIST ? ENOTDIR : error);
}

std::string rankFolder(const std::string &path, int rank) {
    return inFolder(path, "rank-" + std::to_string(rank));
}

// One rank's coordinated test; its part of the whole as rank 0 gathers it, and its own status.
struct RankOutcome {
    RankRun part;
    int status = exitSucceeded;
};

// Rank 0's standard output. mpirun (OpenMPI) stops reading it when Ctrl-C is pressed and sends
// the ranks SIGTERM only a while later: a write waits for room only until this rank is signalled,
// and what does not fit then is dropped, so that no rank is held up and every log file is still
// written.
class RankZeroOutput final : public LogSink {
public:
    explicit RankZeroOutput(const CancelToken &signalled)
        : signalled_(signalled), flags_(::fcntl(STDOUT_FILENO, F_GETFL)) {
        std::cout.flush();
        if (flags_ >= 0)
            ::fcntl(STDOUT_FILENO, F_SETFL, flags_ | O_NONBLOCK);
    }
    // Standard output may be a terminal shared with the shell: it gets its flags back.
    ~RankZeroOutput() {
        if (flags_ >= 0)
            ::fcntl(STDOUT_FILENO, F_SETFL, flags_);
    }
    RankZeroOutput(const RankZeroOutput &) = delete;
    RankZeroOutput &operator=(const RankZeroOutput &) = delete;
    void appendToLog(const std::string &text) override {
        std::size_t done = 0;
        while (done < text.size()) {
            const ssize_t written = ::write(STDOUT_FILENO, text.data() + done, text.size() - done);
            if (written > 0) {
                done += static_cast<std::size_t>(written);
            } else if (written < 0 && errno == EAGAIN && !signalled_.cancelled()) {
                pollfd out{STDOUT_FILENO, POLLOUT, 0};
                ::poll(&out, 1, 100);
            } else if (!(written < 0 && errno == EINTR)) {
                return;
            }
        }
    }

private:
    const CancelToken &signalled_;
    int flags_; // standard output's flags before; -1 when they could not be read
};

// signalled is set by a signal to this rank; output is rank 0's, null elsewhere.
RankOutcome runRank(MpiWorld &world, const CommandLineOptions &options, const std::string &path,
                    bool shift, const CancelToken &signalled, LogSink *output) {
    const bool zero = world.rank() == 0;
    const std::string folder = rankFolder(path, world.rank());
    const std::string readFolder =
        shift ? rankFolder(path, (world.rank() + 1) % world.size()) : folder;
    KeptLog log;
    SteppedClock clock;
    Bench bench(log, clock, options.sizes.value_or(standardSizes()));
    bench.readTimebase();
    bench.theSizes = bench.theStdSizes;
    // One seed for all: every rank draws the same sizes in the same order, step by step.
    bench.setRandomSizes(RandomSizes(world.fromRankZero(std::random_device{}())));
    const MachineDescription machine = describeMachine(*systemProbe());
    bench.macType = machine.macType.toStdString();
    bench.macOSVersion = machine.macOSVersion.toStdString();
    bench.quorlanVersion = QUORLAN_VERSION;
    StderrObserver observer(systemCalls(), zero && isatty(STDERR_FILENO) != 0);
    CancelToken cancel; // set by the gate only, at the step every rank stops at
    if (output)
        output->appendToLog(aggregateHeaderLine());
    StepGate gate(world, clock, bench, signalled, cancel, zero ? &observer : nullptr, output);
    bench.setProgressSink(&gate);
    bench.setCancelToken(&cancel);
    if (options.command->test == &Bench::performMixedTest)
        bench.performMixedTestReadingFrom(folder, readFolder, options.panel);
    else
        (bench.*options.command->test)(folder, options.panel);
    gate.finish();
    observer.clearLine();

    RankOutcome outcome;
    outcome.part = RankRun{world.rank(), world.host(), bench.lastRun,
                           ExportContext{bench.macType, bench.macOSVersion, bench.quorlanVersion,
                                         fileSystemOf(systemCalls(), folder).type},
                           gate.steps()};
    const std::string logFile = folder + ".log";
    const int error = writeUserFile(systemCalls(), logFile, log.text());
    if (error != 0) {
        std::cerr << program << "rank " << world.rank() << ": cannot write the log to \"" << logFile
                  << "\": " << errorText(error) << "\n";
        outcome.status = exitFailed;
    }
    if (zero)
        for (const std::string &warning : runWarnings(bench.lastRun, systemCalls()))
            std::cerr << program << "warning: " << warning << "\n";
    if (bench.lastRun.failedOperations > 0 || bench.lastRun.results.empty())
        outcome.status = exitFailed;
    return outcome;
}

// Rank 0: prints the end of the combined log and the failures of each rank, writes the exports
// asked for. False when an export could not be written.
bool reportOnRankZero(const std::vector<std::string> &objects, const CommandLineOptions &options,
                      const std::string &path, LogSink &output) {
    std::vector<RankRun> ranks;
    for (const std::string &bytes : objects) {
        RankRun rank;
        if (readRankObject(bytes, rank))
            ranks.push_back(std::move(rank));
    }
    output.appendToLog(combinedLogEnd(ranks, path));
    for (const RankRun &rank : ranks)
        if (rank.run.failedOperations > 0)
            std::cerr << program << "rank " << rank.rank << " on " << rank.host << ": "
                      << rank.run.failedOperations << " of " << rank.run.operations
                      << " operations failed; the first: " << errorText(rank.run.firstFailureErrno)
                      << "\n";
    bool ok = true;
    const auto write = [&ok](const std::string &file, const QByteArray &bytes) {
        ok = writeResultsFile(
                 program, file,
                 std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size()))) &&
             ok;
    };
    if (options.jsonFile)
        write(*options.jsonFile, combinedJson(ranks, path));
    if (options.csvFile) {
        const std::vector<AggregateStep> steps = aggregateSteps(ranks);
        write(*options.csvFile,
              resultsCsv(aggregateRun(ranks, path, steps),
                         ranks.empty() ? ExportContext{} : ranks.front().context));
    }
    return ok;
}

} // namespace

std::string mpiUsageText() {
    return "Usage: mpirun [-np N] [-H HOST,...] quorlan-bench-mpi COMMAND [OPTIONS] PATH\n"
           "\n"
           "multi-write, multi-read and mixed run on every rank at once, each rank in its own\n"
           "folder PATH/rank-K of a volume all ranks share, every file a step the ranks start\n"
           "together. Rank K's log goes to PATH/rank-K.log; rank 0 prints per step the bytes of\n"
           "all ranks over the span from the first start to the last end, the slowest and the\n"
           "fastest rank, then the report of those figures. write, read and compare run on\n"
           "rank 0 alone. --json writes the combined figures with every rank's results.\n"
           "\n"
           "Options of many clients:\n"
           "  --shift            the mixed test reads the files of rank K+1 (the default with\n"
           "                     more than one rank), so that no client reads from its own cache\n"
           "  --no-shift         each rank reads back its own files\n"
           "\n"
           "Ctrl-C on mpirun reaches every rank as SIGTERM after mpirun's "
           "odls_base_sigkill_timeout\n"
           "(1 s), and mpirun ends the ranks as long again after that: every rank stops at the\n"
           "same step, after the file in progress. mpirun no longer passes on their output\n"
           "then; the cancelled run is in the rank logs and in the --json file.\n"
           "\n";
}

int runMpiCommandLine(MpiWorld &world, std::vector<std::string> arguments) {
    const bool zero = world.rank() == 0;
    const bool shift = takeShift(arguments, world.size());
    if (asksForHelp(arguments)) {
        if (zero)
            std::cout << mpiUsageText() << usageText();
        return exitSucceeded;
    }
    const ParsedCommandLine parsed = quietUnless(zero, [&] { return parseCommandLine(arguments); });
    if (!parsed.options)
        return parsed.exitStatus;
    const CommandLineOptions &options = *parsed.options;
    if (!options.command->test || !isCoordinated(*options.command)) {
        const int status = zero ? runCommandLine(arguments) : exitSucceeded;
        return world.largest(status);
    }
    const CheckedPath path = checkedPath(options.command->path, options.path);
    std::string problem = path.problem;
    if (problem.empty())
        problem = makeRankFolder(rankFolder(path.path, world.rank()));
    if (!problem.empty())
        std::cerr << program << "rank " << world.rank() << " on " << world.host() << ": " << problem
                  << "\n";
    if (world.largest(problem.empty() ? 0 : 1) != 0)
        return exitUsage;

    CancelToken signalled;
    const SignalCancel interruptions(signalled);
    std::optional<RankZeroOutput> output;
    if (zero)
        output.emplace(signalled);
    RankOutcome outcome =
        runRank(world, options, path.path, shift, signalled, output ? &*output : nullptr);
    const QByteArray object =
        QJsonDocument(rankObject(outcome.part)).toJson(QJsonDocument::Compact);
    const std::vector<std::string> objects = world.gatherAtRankZero(object.toStdString());
    if (zero && !reportOnRankZero(objects, options, path.path, *output))
        outcome.status = std::max(outcome.status, exitFailed);
    if (interruptions.received() != 0)
        outcome.status = 128 + interruptions.received();
    return world.largest(outcome.status);
}

} // namespace quorlan
