// quorlan-bench-mpi under mpirun on this one machine, local folders standing in for the shared
// volume: the rank folders and logs, the steps every rank starts together, the shifted reads,
// the aggregate figures against the ranks' own logs, failures on one rank, Ctrl-C on mpirun, and
// the combined results read back by compare.

#include "../support/GoldenMatch.h"
#include "../support/TempFolder.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <regex>
#include <sstream>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

using namespace quorlan::testing;
namespace fs = std::filesystem;

namespace {

std::string readText(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), {});
}

// A program run to its end, or stopped by the test: what it printed and its exit status.
struct Outcome {
    std::string out;
    std::string err;
    int status = -1;
};

// Starts the words of line (a program and its arguments), standard output and error into files of
// folder.
class Process {
public:
    Process(const std::string &line, const std::string &folder)
        : outFile_(folder + "/stdout.txt"), errFile_(folder + "/stderr.txt") {
        std::vector<std::string> arguments;
        std::istringstream words(line);
        for (std::string word; words >> word;)
            arguments.push_back(word);
        std::vector<char *> argv;
        for (std::string &argument : arguments)
            argv.push_back(argument.data());
        argv.push_back(nullptr);
        pid_ = ::fork();
        if (pid_ == 0) {
            if (!std::freopen(outFile_.c_str(), "w", stdout) ||
                !std::freopen(errFile_.c_str(), "w", stderr))
                ::_exit(126);
            ::setenv("LC_ALL", "C", 1); // the system's error texts in English
            ::execv(argv[0], argv.data());
            ::_exit(127);
        }
    }
    ~Process() {
        if (pid_ > 0 && !waited_) {
            ::kill(pid_, SIGKILL);
            wait();
        }
    }
    void signal(int number) { ::kill(pid_, number); }
    Outcome wait() {
        int status = 0;
        ::waitpid(pid_, &status, 0);
        waited_ = true;
        return {readText(outFile_), readText(errFile_),
                WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status)};
    }

private:
    std::string outFile_;
    std::string errFile_;
    pid_t pid_ = -1;
    bool waited_ = false;
};

// mpirun -np ranks quorlan-bench-mpi ARGUMENTS, as root too, on one machine; mpirunOptions
// before the program.
std::string mpiCommand(int ranks, const std::string &arguments,
                       const std::string &mpirunOptions = "") {
    return std::string(QUORLAN_MPIRUN) + " --allow-run-as-root --oversubscribe -np " +
           std::to_string(ranks) + " " + mpirunOptions + " " + QUORLAN_MPI_EXE + " " + arguments;
}

Outcome runMpi(int ranks, const std::string &arguments, const std::string &folder) {
    return Process(mpiCommand(ranks, arguments), folder).wait();
}

QJsonObject readJson(const std::string &path) {
    return QJsonDocument::fromJson(QByteArray::fromStdString(readText(path))).object();
}

// The measurement lines of a log ("w,20000,0.001,20000000"), split at the commas.
std::vector<std::vector<std::string>> measurementLines(const std::string &log) {
    std::vector<std::vector<std::string>> lines;
    static const std::regex line(R"(^(w|r|r\*),(\d+),([^,]+),(\d+)$)");
    std::istringstream in(log);
    for (std::string text; std::getline(in, text);) {
        std::smatch m;
        if (std::regex_match(text, m, line))
            lines.push_back({m[1], m[2], m[3], m[4]});
    }
    return lines;
}

// A log with its figures and dates as "#" and the given path as "PATH", to compare the shape of
// two logs whose measurements differ.
std::string shapeOf(std::string log, const std::string &path) {
    for (std::size_t at = log.find(path); at != std::string::npos; at = log.find(path, at))
        log.replace(at, path.size(), "PATH");
    log = std::regex_replace(log, std::regex(R"(\d{4}-\d\d-\d\d \d\d:\d\d:\d\d \+0000)"), "#");
    return std::regex_replace(log, std::regex(R"(-?[0-9][0-9.e+-]*( [kMGT]?B)?)"), "#");
}

// The process of the rank of quorlan-bench-mpi that works in folder; 0 when there is none.
pid_t rankProcess(int rank, const std::string &folder) {
    std::error_code ignored;
    for (const auto &entry : fs::directory_iterator("/proc", ignored)) {
        const std::string command = readText(entry.path() / "cmdline");
        const std::string environment = readText(entry.path() / "environ");
        const std::string variable = "OMPI_COMM_WORLD_RANK=" + std::to_string(rank) + '\0';
        if (command.rfind(QUORLAN_MPI_EXE, 0) == 0 && command.find(folder) != std::string::npos &&
            environment.find(variable) != std::string::npos)
            return static_cast<pid_t>(std::stol(entry.path().filename().string()));
    }
    return 0;
}

// Waits until file exists; false after 30 seconds.
bool waitFor(const std::string &file) {
    for (int i = 0; i < 3000 && !fs::exists(file); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    return fs::exists(file);
}

const char *const sizes = "--sizes 20000,40000,60000";

// A mixed test with options on that many ranks in folder, its results in folder/results.json:
// the ranks of those results.
QJsonArray ranksOfMixedRun(int ranks, const std::string &options, const std::string &folder) {
    const std::string json = folder + "/results.json";
    const Outcome run =
        runMpi(ranks, "mixed " + options + " --json " + json + " " + sizes + " " + folder, folder);
    EXPECT_EQ(run.status, 0) << run.out << run.err;
    return readJson(json).value("ranks").toArray();
}

} // namespace

// Each rank works in its own folder and writes its own log there, shaped exactly as quorlan-bench
// prints the same test; rank 0 prints the combined log, one line per step, whose figures follow
// from the ranks' logs: the bytes of all, each rank's rate naming the slowest and the fastest,
// and a span no shorter than any rank's own time.
TEST(MpiBench, EachRankLogsAsQuorlanBenchAndTheStepsAddUpFromTheirLogs) {
    TempFolder scratch;
    const std::string shared = scratch.path() + "/shared";
    fs::create_directory(shared);
    const Outcome run = runMpi(
        2, std::string("mixed --verbose --repeats 2 ") + sizes + " " + shared, scratch.path());
    ASSERT_EQ(run.status, 0) << run.out << run.err;

    const std::string alone = scratch.path() + "/alone";
    fs::create_directory(alone);
    const Outcome reference = Process(std::string(QUORLAN_BENCH_EXE) +
                                          " mixed --verbose --repeats 2 " + sizes + " " + alone,
                                      scratch.path())
                                  .wait();
    ASSERT_EQ(reference.status, 0) << reference.err;

    std::vector<std::vector<std::vector<std::string>>> byRank;
    for (int rank = 0; rank < 2; ++rank) {
        SCOPED_TRACE(rank);
        const std::string folder = shared + "/rank-" + std::to_string(rank);
        EXPECT_TRUE(fs::is_regular_file(folder + "/2.tiff"));
        const std::string log = readText(folder + ".log");
        EXPECT_EQ(shapeOf(log, folder), shapeOf(reference.out, alone));
        byRank.push_back(measurementLines(log));
        ASSERT_EQ(byRank.back().size(), 9u); // three writes, then two passes of three reads
    }

    const std::vector<std::vector<std::string>> steps = measurementLines(run.out);
    EXPECT_TRUE(steps.empty()); // the combined log has lines of its own
    std::istringstream combined(run.out);
    std::string line;
    std::getline(combined, line);
    EXPECT_EQ(line, "step,type,ranks,bytes,span,rate,slowest_rank,slowest_rate,fastest_rank,"
                    "fastest_rate");
    for (std::size_t step = 0; step < 9; ++step) {
        SCOPED_TRACE(step + 1);
        ASSERT_TRUE(std::getline(combined, line));
        const auto &first = byRank[0][step];
        const auto &second = byRank[1][step];
        const long long bytes = std::stoll(first[1]) + std::stoll(second[1]);
        const bool firstSlower = std::stoll(first[3]) <= std::stoll(second[3]);
        const bool firstFaster = std::stoll(first[3]) >= std::stoll(second[3]);
        std::smatch m;
        ASSERT_TRUE(std::regex_match(
            line, m, std::regex(R"(([^,]*,[^,]*,[^,]*,[^,]*),([^,]+),(\d+),(.*))")));
        EXPECT_EQ(m[1].str(),
                  std::to_string(step + 1) + "," + first[0] + ",2," + std::to_string(bytes));
        EXPECT_EQ(m[4].str(), (firstSlower ? "0," + first[3] : "1," + second[3]) + "," +
                                  (firstFaster ? "0," + first[3] : "1," + second[3]));
        // The span holds each rank's own timed span; the two are formed from the same clock
        // readings, apart from rounding.
        const double span = std::stod(m[2].str());
        EXPECT_GE(span + 1e-9, std::max(std::stod(first[2]), std::stod(second[2])));
        EXPECT_EQ(std::stoll(m[3].str()),
                  static_cast<long long>(static_cast<double>(bytes) / span));
    }
    EXPECT_NE(run.out.find("\nTest path " + shared + "\nHost "), std::string::npos) << run.out;
    EXPECT_TRUE(std::regex_search(run.out, std::regex("\nHost [^\n]+: ranks 0, 1\n")));
}

// Three ranks: no rank's timed span of a step begins before every rank ended the step before
// (the spans are read on the one monotonic clock of this machine), and each rank reads the
// files of the next one, rank 2 those of rank 0; the combined results name every rank, and
// compare reads them.
TEST(MpiBench, StepsWaitForEveryRankAndEachRankReadsTheNextOnesFiles) {
    TempFolder scratch;
    const QJsonArray ranks = ranksOfMixedRun(3, "--repeats 2", scratch.path());
    ASSERT_EQ(ranks.size(), 3);
    std::vector<QJsonArray> steps;
    for (int rank = 0; rank < 3; ++rank) {
        SCOPED_TRACE(rank);
        const QJsonObject object = ranks[rank].toObject();
        EXPECT_EQ(object.value("rank").toInt(), rank);
        EXPECT_FALSE(object.value("host").toString().isEmpty());
        const std::string mine = scratch.path() + "/rank-" + std::to_string(rank) + "/";
        const std::string next = scratch.path() + "/rank-" + std::to_string((rank + 1) % 3) + "/";
        int reads = 0;
        for (const QJsonValue &result : object.value("results").toArray()) {
            const std::string path = result.toObject().value("path").toString().toStdString();
            const bool read = result.toObject().value("type").toString() != "write";
            EXPECT_EQ(path.rfind(read ? next : mine, 0), 0u) << path;
            reads += read ? 1 : 0;
        }
        EXPECT_EQ(reads, 6);
        steps.push_back(object.value("steps").toArray());
        ASSERT_EQ(steps.back().size(), 9);
    }
    for (int step = 0; step + 1 < 9; ++step) {
        SCOPED_TRACE(step + 1);
        double lastEnd = 0.0;
        double firstStart = INFINITY;
        for (const QJsonArray &rank : steps) {
            lastEnd = std::max(lastEnd, rank[step].toObject().value("monotonicEnd").toDouble());
            firstStart =
                std::min(firstStart, rank[step + 1].toObject().value("monotonicStart").toDouble());
        }
        EXPECT_GT(lastEnd, 0.0);
        EXPECT_LE(lastEnd, firstStart);
    }
    const std::string json = scratch.path() + "/results.json";
    const Outcome compared =
        Process(std::string(QUORLAN_BENCH_EXE) + " compare " + json + " " + json, scratch.path())
            .wait();
    EXPECT_EQ(compared.status, 0) << compared.err;
    EXPECT_NE(compared.out.find("write: no difference shown"), std::string::npos) << compared.out;
}

// With --no-shift each rank reads back its own files; the other commands run on rank 0 alone,
// as quorlan-bench runs them.
TEST(MpiBench, NoShiftReadsOwnFilesAndASingleFileTestRunsOnRankZeroAlone) {
    TempFolder scratch;
    const QJsonArray ranks = ranksOfMixedRun(2, "--no-shift", scratch.path());
    ASSERT_EQ(ranks.size(), 2);
    for (int rank = 0; rank < 2; ++rank) {
        const std::string mine = scratch.path() + "/rank-" + std::to_string(rank) + "/";
        for (const QJsonValue &result : ranks[rank].toObject().value("results").toArray())
            EXPECT_EQ(result.toObject().value("path").toString().toStdString().rfind(mine, 0), 0u);
    }

    const Outcome write = runMpi(2, "write --size 20 " + scratch.path() + "/one", scratch.path());
    EXPECT_EQ(write.status, 0) << write.err;
    EXPECT_EQ(fs::file_size(scratch.path() + "/one.tiff"), 20000u);
    EXPECT_EQ(write.out.find("\nTest path "), write.out.rfind("\nTest path ")) << write.out;
}

// A rank with fewer files takes part in the others' steps until every rank is done: a multi-read
// of folders that differ ends, each step counting the ranks that read a file in it.
TEST(MpiBench, ARankWithFewerFilesWaitsForTheOthers) {
    TempFolder scratch;
    for (const char *file : {"rank-0/a", "rank-0/b", "rank-0/c", "rank-1/a"}) {
        fs::create_directories(fs::path(scratch.path() + "/" + file).parent_path());
        std::ofstream(scratch.path() + "/" + file) << std::string(20000, 'x');
    }
    const Outcome run = runMpi(2, "multi-read " + scratch.path(), scratch.path());
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_TRUE(std::regex_search(run.out, std::regex("\n1,r,2,40000,.*\n2,r,1,20000,.*\n3,r,1,")))
        << run.out;
}

// A rank whose writes fail says so and the other goes on: the steps count the one rank that
// measured them, and the exit status is 1. A folder no rank can make stops every rank first.
TEST(MpiBench, ARankWhoseWritesFailIsReportedAndTheOthersGoOn) {
    TempFolder scratch;
    for (const char *name : {"1-0.tiff", "1-1.tiff", "1-2.tiff"})
        fs::create_directories(scratch.path() + "/rank-1/" + name); // a folder cannot be written
    const Outcome run =
        runMpi(2, std::string("multi-write ") + sizes + " " + scratch.path(), scratch.path());
    EXPECT_EQ(run.status, 1) << run.out;
    EXPECT_NE(run.err.find("quorlan-bench-mpi: rank 1 on "), std::string::npos) << run.err;
    EXPECT_NE(run.err.find(": 3 of 3 operations failed; the first: Is a directory\n"),
              std::string::npos)
        << run.err;
    EXPECT_EQ(std::regex_search(run.out, std::regex("\n[123],w,1,[0-9]+,")), true) << run.out;
    EXPECT_EQ(run.out.find(",w,2,"), std::string::npos) << run.out;

    fs::create_directory(scratch.path() + "/blocked");
    std::ofstream(scratch.path() + "/blocked/rank-0") << "a file";
    const Outcome blocked = runMpi(
        2, std::string("multi-write ") + sizes + " " + scratch.path() + "/blocked", scratch.path());
    EXPECT_EQ(blocked.status, 2);
    EXPECT_NE(blocked.err.find("rank 0 on "), std::string::npos) << blocked.err;
    EXPECT_NE(blocked.err.find("cannot make the folder \"" + scratch.path() +
                               "/blocked/rank-0\": Not a directory"),
              std::string::npos)
        << blocked.err;
    EXPECT_FALSE(fs::exists(scratch.path() + "/blocked/rank-1.log"));
}

// Ctrl-C on mpirun reaches every rank as SIGTERM (after odls_base_sigkill_timeout seconds, and
// mpirun ends the ranks as long again after that; it stops passing on their output at once):
// every rank stops at the same step, after the file in progress, and its log says the test was
// cancelled.
TEST(MpiBench, CtrlCOnMpirunCancelsEveryRankAtTheSameStep) {
    TempFolder scratch;
    const std::string json = scratch.path() + "/cancelled.json";
    Process run(
        mpiCommand(2, "multi-write --repeats 5000 --sizes 1 --json " + json + " " + scratch.path(),
                   "--mca odls_base_sigkill_timeout 2"),
        scratch.path());
    ASSERT_TRUE(waitFor(scratch.path() + "/rank-1/3-0.tiff"));
    run.signal(SIGINT);
    const Outcome stopped = run.wait();
    EXPECT_NE(stopped.status, 0);
    std::vector<std::size_t> files;
    for (int rank = 0; rank < 2; ++rank) {
        const std::string folder = scratch.path() + "/rank-" + std::to_string(rank);
        EXPECT_NE(readText(folder + ".log").find("Test cancelled.\n"), std::string::npos);
        files.push_back(static_cast<std::size_t>(
            std::distance(fs::directory_iterator(folder), fs::directory_iterator{})));
    }
    EXPECT_EQ(files[0], files[1]);
    EXPECT_LT(files[0], 5000u);
    EXPECT_TRUE(readJson(json).value("partial").toBool());
}

// A rank that dies ends the job through mpirun, which names it and ends the other ranks: no rank
// waits for it forever.
TEST(MpiBench, ARankThatDiesEndsTheJobWithAMessageNamingIt) {
    TempFolder scratch;
    Process run(mpiCommand(2, "multi-write --repeats 5000 --sizes 1 " + scratch.path()),
                scratch.path());
    ASSERT_TRUE(waitFor(scratch.path() + "/rank-1/3-0.tiff"));
    const pid_t rank = rankProcess(1, scratch.path());
    ASSERT_GT(rank, 0);
    ::kill(rank, SIGKILL);
    const Outcome ended = run.wait();
    EXPECT_NE(ended.status, 0);
    EXPECT_NE(ended.err.find("rank 1"), std::string::npos) << ended.err;
    EXPECT_LT(
        std::distance(fs::directory_iterator(scratch.path() + "/rank-0"), fs::directory_iterator{}),
        5000);
}

// --help and a usage mistake are answered once, by rank 0, whatever the number of ranks: the help
// puts the lines of many clients before quorlan-bench's own text.
TEST(MpiBench, HelpAndUsageErrorsAreAnsweredOnceByRankZero) {
    TempFolder scratch;
    const Outcome help = runMpi(2, "--no-shift --help", scratch.path());
    EXPECT_EQ(help.status, 0);
    EXPECT_TRUE(matchesSnapshot(help.out.substr(0, help.out.find("Usage: quorlan-bench ")),
                                "mpi-help.txt"));
    EXPECT_EQ(help.out.substr(help.out.find("Usage: quorlan-bench ")), readFixture("cli-help.txt"));

    const Outcome mistake = runMpi(2, "multi-write --repeats x " + scratch.path(), scratch.path());
    EXPECT_EQ(mistake.status, 2);
    EXPECT_EQ(mistake.err.find("quorlan-bench: "), 0u) << mistake.err;
    EXPECT_EQ(mistake.err.find("quorlan-bench: ", 1), std::string::npos) << mistake.err;
    EXPECT_FALSE(fs::exists(scratch.path() + "/rank-0"));
}
