// quorlan-bench run as a user runs it: its log, its messages, its exit status, the files it
// writes, its progress line on a terminal and what signals do to it.

#include "../support/GoldenMatch.h"
#include "../support/ScratchMount.h"
#include "../support/TempFolder.h"
#include "bench/SysCalls.h"
#include "bench/VolumeInfo.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <poll.h>
#include <regex>
#include <set>
#include <sstream>
#include <sys/stat.h>
#include <sys/wait.h>
#include <termios.h>
#include <tuple>
#include <unistd.h>

using namespace quorlan::testing;
namespace fs = std::filesystem;

namespace {

// quorlan-bench started in the background, its standard output read through a pipe and its
// standard error through a pipe or a pseudo-terminal, so that a test can wait for what it prints,
// send it signals and take its exit status.
class BenchProcess {
public:
    // Runs on the words of line, split at single spaces ("''" stands for an empty argument), in
    // folder (the test's own when empty). With terminal, standard error is a raw pseudo-terminal:
    // the program sees a terminal and its bytes arrive unchanged.
    explicit BenchProcess(const std::string &line, const std::string &folder = "",
                          bool terminal = false) {
        std::vector<std::string> arguments{QUORLAN_BENCH_EXE};
        std::istringstream words(line);
        for (std::string word; !line.empty() && std::getline(words, word, ' ');)
            arguments.push_back(word == "''" ? "" : word);
        std::vector<char *> argv;
        for (std::string &argument : arguments)
            argv.push_back(argument.data());
        argv.push_back(nullptr);
        int out[2];
        int err[2];
        if (::pipe2(out, O_CLOEXEC) != 0 ||
            (terminal ? !openTerminal(err) : ::pipe2(err, O_CLOEXEC) != 0))
            return;
        pid_ = ::fork();
        if (pid_ == 0) {
            ::dup2(out[1], STDOUT_FILENO);
            ::dup2(err[1], STDERR_FILENO);
            ::setenv("LC_ALL", "C", 1); // the system's error texts in English
            if (folder.empty() || ::chdir(folder.c_str()) == 0)
                ::execv(QUORLAN_BENCH_EXE, argv.data());
            ::_exit(127);
        }
        ::close(out[1]);
        ::close(err[1]);
        fds_[0] = out[0];
        fds_[1] = err[0];
    }
    ~BenchProcess() {
        if (pid_ > 0 && !finished_) {
            ::kill(pid_, SIGKILL);
            exitStatus();
        }
    }
    BenchProcess(const BenchProcess &) = delete;
    BenchProcess &operator=(const BenchProcess &) = delete;

    std::string out; // what it printed so far
    std::string err;

    // Reads until text shows in the standard output (or error), the process ends or ten seconds
    // pass; true when the text showed.
    bool waitForOutput(const std::string &text, bool onError = false) {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        const std::string &seen = onError ? err : out;
        while (seen.find(text) == std::string::npos) {
            if (std::chrono::steady_clock::now() > deadline || !readSome(100))
                return false;
        }
        return true;
    }

    void signal(int number) const { ::kill(pid_, number); }

    // Reads everything left and waits for the end: the exit status, or -1 when the program did
    // not exit (a signal ended it).
    int exitStatus() {
        while (readSome(1000)) {
        }
        int status = 0;
        ::waitpid(pid_, &status, 0);
        finished_ = true;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

private:
    static bool openTerminal(int ends[2]) {
        ends[0] = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
        if (ends[0] < 0 || ::grantpt(ends[0]) != 0 || ::unlockpt(ends[0]) != 0)
            return false;
        ends[1] = ::open(::ptsname(ends[0]), O_RDWR | O_NOCTTY | O_CLOEXEC);
        termios mode{};
        if (ends[1] < 0 || ::tcgetattr(ends[1], &mode) != 0)
            return false;
        ::cfmakeraw(&mode);
        return ::tcsetattr(ends[1], TCSANOW, &mode) == 0;
    }

    // One poll of what is still open; false once both ends are closed. A pseudo-terminal
    // answers EIO once the program has ended.
    bool readSome(int milliseconds) {
        pollfd polls[2] = {{fds_[0], POLLIN, 0}, {fds_[1], POLLIN, 0}};
        if (fds_[0] < 0 && fds_[1] < 0)
            return false;
        if (::poll(polls, 2, milliseconds) <= 0)
            return true;
        for (int i = 0; i < 2; ++i) {
            if (fds_[i] < 0 || polls[i].revents == 0)
                continue;
            char buffer[4096];
            const ssize_t n = ::read(fds_[i], buffer, sizeof buffer);
            if (n > 0) {
                (i == 0 ? out : err).append(buffer, static_cast<std::size_t>(n));
            } else {
                ::close(fds_[i]);
                fds_[i] = -1;
            }
        }
        return true;
    }

    pid_t pid_ = -1;
    int fds_[2] = {-1, -1};
    bool finished_ = false;
};

struct Outcome {
    int status = -1;
    std::string out;
    std::string err;
};

Outcome runBench(const std::string &line, const std::string &folder = "", bool terminal = false) {
    BenchProcess bench(line, folder, terminal);
    const int status = bench.exitStatus();
    return {status, bench.out, bench.err};
}

// A reader of a named pipe while it lives: a writer waiting in its open goes on, a later writer
// does not wait at all. The data (at most the pipe's 64 KiB) is never read.
struct PipeReader {
    int fd;
    ~PipeReader() { ::close(fd); }
};

} // namespace

// The exports follow the run and leave the log as it is; a small file beside the written ones
// is read but not recorded.
TEST(CommandLine, EachCommandMatchesItsGoldenLog) {
    const TempFolder scratch;
    const TempFolder exports;
    const std::string dir = scratch.path();
    const Outcome write = runBench("write --size 5 --unit MB --fill 0x88 w", dir);
    EXPECT_TRUE(matchesGolden(write.out, "cli-write-5MB.txt", dir + "/w.tiff")) << write.out;
    EXPECT_EQ(fileContents(dir + "/w.tiff"), std::string(5000000, '\x88'));
    const Outcome read = runBench("read --no-cache w.tiff", dir);
    EXPECT_TRUE(matchesGolden(read.out, "cli-read-nocache-5MB.txt", dir + "/w.tiff")) << read.out;
    writeFile(dir + "/empty", 0);
    const Outcome empty = runBench("read empty", dir);
    EXPECT_TRUE(matchesGolden(empty.out, "cli-read-empty.txt", dir + "/empty")) << empty.out;
    fs::create_directory(dir + "/m");
    const Outcome multi =
        runBench("multi-write --verbose --sizes 20000,40000 --json " + exports.path() +
                     "/r.json --csv " + exports.path() + "/r.csv " + dir + "/m",
                 dir);
    EXPECT_TRUE(matchesGolden(multi.out, "cli-multi-write-verbose.txt", dir + "/m")) << multi.out;
    const QJsonObject json =
        QJsonDocument::fromJson(QByteArray::fromStdString(fileContents(exports.path() + "/r.json")))
            .object();
    EXPECT_EQ(json["command"].toString(), "multi-write");
    EXPECT_EQ(json["fileSystemType"].toString().toStdString(),
              quorlan::fileSystemOf(quorlan::systemCalls(), dir).type);
    EXPECT_EQ(json["machine"].toObject()["quorlanVersion"].toString(), QUORLAN_VERSION);
    EXPECT_EQ(fileContents(exports.path() + "/r.csv").rfind("type,typeCode,", 0), 0u);
    writeFile(dir + "/m/note.txt", 100);
    const Outcome multiRead = runBench("multi-read m", dir);
    EXPECT_TRUE(matchesGolden(multiRead.out, "cli-multi-read.txt", dir + "/m")) << multiRead.out;
}

// The usage text names every command and option, and so do the manual page and the README, with
// the same exit statuses.
TEST(CommandLine, HelpMatchesItsSnapshotAndAgreesWithTheManualAndReadme) {
    const Outcome help = runBench("--help");
    EXPECT_TRUE(matchesSnapshot(help.out, "cli-help.txt"));
    EXPECT_EQ(runBench("-h").out, help.out);
    EXPECT_TRUE(std::regex_match(runBench("--version").out,
                                 std::regex(R"(quorlan-bench \d+\.\d+\.\d+\n)")));
    const std::string manual = std::regex_replace(
        fileContents(QUORLAN_SOURCE_DIR "/src/cli/quorlan-bench.1.in"), std::regex(R"(\\-)"), "-");
    const std::string readme = fileContents(QUORLAN_SOURCE_DIR "/README.md");
    std::set<std::string> names; // the options, and the commands: the words indented by two
    const std::regex name("--[a-z][a-z-]*|\n  ([a-z][a-z-]+)  ");
    for (std::sregex_iterator it(help.out.begin(), help.out.end(), name), end; it != end; ++it)
        names.insert((*it)[1].matched ? (*it)[1].str() : it->str());
    EXPECT_EQ(names.size(), 20u); // fourteen options and six commands
    for (const std::string &word : names) {
        EXPECT_NE(manual.find(word), std::string::npos) << word << " is not in the manual";
        EXPECT_NE(readme.find(word), std::string::npos) << word << " is not in the README";
    }
    for (const std::string status : {"0", "1", "2", "130", "143"}) {
        EXPECT_NE(help.out.find("\n  " + status + " "), std::string::npos) << status;
        EXPECT_NE(manual.find(".B " + status + "\n"), std::string::npos) << status;
        EXPECT_NE(readme.find("\n| " + status + " |"), std::string::npos) << status;
    }
}

// Command lines run in turn in one folder, with what each answers: its exit status, the test
// path line of its log (absolute and normal, a link kept as typed) and its standard error; then
// the files the folder holds. A usage error is one message naming what is wrong, exit 2, no log
// and no file. 0 says every timed operation succeeded; 1 that the test ran but an operation
// failed, nothing could be measured or a results file could not be written (after the run, and
// after the warnings, the other export still written).
TEST(CommandLine, CommandLinesMatchTheirTranscript) {
    const TempFolder scratch;
    const std::string dir = scratch.path();
    for (const char *folder : {"/z", "/small", "/some"})
        fs::create_directory(dir + folder);
    fs::create_directory_symlink("z", dir + "/link");
    writeFile(dir + "/small/note", 100);
    writeFile(dir + "/empty", 0);
    writeFile(dir + "/some/empty", 0);
    writeFile(dir + "/some/large", 20000);
    fs::copy_file(fixturePath("compare-base.json"), dir + "/b.json");
    fs::copy_file(fixturePath("compare-other.json"), dir + "/o.json");
    const char *const commands[] = {
        "--help", "--version", "", "frobnicate u", "write", "write u u", "write --bogus u",
        "write -x u", "write --size", "multi-write . --json", "write --verbose=1 u",
        "write --size 5MB u", "write --size=5M u", "write --size '' u",
        "multi-write --repeats 2x .", "multi-write --length 1,000 .", "write --unit TB u",
        "write --fill 0x11 u", "multi-write --sizes 1,x .", "write .", "write missing/u", "read .",
        "read none", "multi-read none",
        // The forms every Linux tool accepts, and the numbers the window's field accepts.
        "write --size 5 a", "write --size=5 --unit=mb b.TIFF", "write c --size \t5\t --fill=0x41",
        "write --size +5 ./d", "write --size 2.7 e//", "write --size 1e3 .//f.tiff",
        "write --size 3 -- -dash", "write --size 1 ./link//./g", "read a.tiff",
        "read --no-cache a.tiff", "multi-write --sizes 20000 z/", "mixed --sizes 20000 .",
        "multi-read --no-cache some", // an empty file has nothing to time, and no failure
        "write /proc/x.tiff", "multi-write --sizes 20000,30000 /proc", "mixed --sizes 20000 /proc",
        "multi-read small", "read --no-cache empty", "multi-write --sizes 0 link",
        "multi-write --sizes 40000 --json missing/r.json --csv r.csv z", "read --csv . z/1-0.tiff",
        // On a terminal one progress line is rewritten for every file and erased at the end: the
        // mixed test's writes show "writing", its read passes "pass k/n".
        "tty mixed --sizes 20000 --repeats 2 .",
        // Comparing runs: two results files at least, readable, and the options of compare.
        "compare", "compare b.json", "compare b.json ''", "compare --size 5 b.json o.json",
        "write --markdown u", "compare b.json none.json", "compare b.json small/note",
        "compare z b.json", "compare b.json o.json --json missing/c.json"};
    std::string transcript;
    for (const std::string command : commands) {
        const bool terminal = command.rfind("tty ", 0) == 0;
        const Outcome outcome = runBench(terminal ? command.substr(4) : command, dir, terminal);
        const std::size_t path = outcome.out.find("\nTest path ");
        transcript +=
            "$ " + command + "\nexit " + std::to_string(outcome.status) + "\n" +
            (path == std::string::npos
                 ? "no log\n"
                 : outcome.out.substr(path + 1, outcome.out.find('\n', path + 1) - path)) +
            outcome.err;
    }
    std::set<std::string> files; // with their sizes; that of the CSV depends on the times
    for (const auto &entry : fs::recursive_directory_iterator(dir))
        files.insert(entry.path().string() +
                     (entry.is_regular_file() && entry.path().extension() != ".csv"
                          ? " " + std::to_string(entry.file_size())
                          : ""));
    for (const std::string &file : files)
        transcript += file + "\n";
    EXPECT_TRUE(
        matchesSnapshot(std::regex_replace(transcript, std::regex(escapeRegex(dir)), "{dir}"),
                        "cli-transcript.txt"));
}

// compare: each further run against the first as text or Markdown, and as JSON in a file; the
// texts are exact because the bootstrap is seeded. Runs whose files share a name are named as
// typed.
TEST(CommandLine, CompareMatchesItsSnapshots) {
    const TempFolder exports;
    const Outcome text = runBench("compare compare-base.json compare-other.json", QUORLAN_FIXTURES);
    EXPECT_EQ(text.status, 0);
    EXPECT_EQ(text.err, "");
    EXPECT_TRUE(matchesSnapshot(text.out, "cli-compare.txt"));
    const std::string json = exports.path() + "/c.json";
    const Outcome markdown = runBench("compare --markdown compare-base.json compare-other.json "
                                      "./compare-base.json --json " +
                                          json,
                                      QUORLAN_FIXTURES);
    EXPECT_EQ(markdown.status, 0);
    EXPECT_TRUE(matchesSnapshot(markdown.out, "cli-compare.md"));
    const QJsonObject document =
        QJsonDocument::fromJson(QByteArray::fromStdString(fileContents(json))).object();
    EXPECT_EQ(document["bootstrap"].toObject()["resamples"].toInt(), 2000);
    const QJsonArray comparisons = document["comparisons"].toArray();
    ASSERT_EQ(comparisons.size(), 2);
    EXPECT_EQ(comparisons[1].toObject()["other"].toObject()["label"], "./compare-base.json");
    const QJsonObject first = comparisons[0].toObject();
    EXPECT_EQ(first["warnings"].toArray().size(), 3);
    const QJsonArray kinds = first["kinds"].toArray();
    ASSERT_EQ(kinds.size(), 3);
    const QJsonObject read = kinds[1].toObject();
    EXPECT_EQ(read["kind"], "read");
    EXPECT_NE(text.out.find("\nread: " + read["verdict"].toString().toStdString() + "\n"),
              std::string::npos);
    const QJsonObject size = read["sizes"].toArray()[0].toObject();
    EXPECT_EQ(size["size"].toInteger(), 20000);
    EXPECT_DOUBLE_EQ(size["otherMedianRate"].toDouble(), 20000 / 0.00005);
    const QJsonObject ratio = size["ratio"].toObject();
    EXPECT_DOUBLE_EQ(ratio["ratio"].toDouble(), 0.000105 / 0.00005);
    EXPECT_LT(ratio["low"].toDouble(), ratio["ratio"].toDouble());
    EXPECT_GT(ratio["high"].toDouble(), ratio["ratio"].toDouble());
    const QJsonObject uncached = kinds[2].toObject();
    EXPECT_TRUE(uncached["sizes"].toArray()[0].toObject()["baseMedianRate"].isNull());
    EXPECT_TRUE(uncached["overall"].isNull() && uncached["regressed"].isNull());
}

// The first SIGINT or SIGTERM ends a multi-write after the file in progress, with all that a
// cancelled run prints; on a terminal the notice first erases the progress line. A single write
// is one request: after a first Ctrl-C it still finishes, prints its line (a pipe cannot be
// synced: the failure time) and the footer; a second Ctrl-C ends the program at once. The exit
// status names the signal. The file 1-1.tiff is a named pipe, whose open waits for a reader: the
// signals arrive while the test is under way. Each golden file holds the log, then stderr.
TEST(CommandLine, SignalsEndARunAsCancelDoes) {
    // The command, the signals sent in order, the exit status, the golden file.
    const std::tuple<const char *, std::vector<int>, int, const char *> cases[] = {
        {"multi-write --sizes 20000,20000,20000 .", {SIGINT}, 130, "cli-multi-write-cancelled.txt"},
        {"multi-write --sizes 20000,20000,20000 .",
         {SIGTERM},
         143,
         "cli-multi-write-cancelled.txt"},
        {"write 1-1.tiff", {SIGINT}, 130, "cli-write-cancelled.txt"},
        {"write 1-1.tiff", {SIGINT, SIGINT}, -1, "cli-write-ended.txt"}};
    for (const auto &[command, sent, status, golden] : cases) {
        SCOPED_TRACE(golden);
        const TempFolder scratch;
        ASSERT_EQ(::mkfifo((scratch.path() + "/1-1.tiff").c_str(), 0600), 0);
        const bool terminal = command[0] == 'm';
        BenchProcess bench(command, scratch.path(), terminal);
        // The whole progress line of the pipe, or the log's header: the test is about to open it.
        ASSERT_TRUE(bench.waitForOutput(terminal ? "file 2/3  " + scratch.path() + "/1-1.tiff"
                                                 : "type,size,time,rate\n",
                                        terminal));
        for (const int number : sent) {
            bench.signal(number);
            ASSERT_TRUE(bench.waitForOutput("stopping after the file in progress", true));
        }
        const PipeReader reader{
            ::open((scratch.path() + "/1-1.tiff").c_str(), O_RDONLY | O_NONBLOCK)};
        EXPECT_EQ(bench.exitStatus(), status);
        EXPECT_TRUE(matchesGolden(bench.out + "--- stderr\n" + bench.err, golden, scratch.path()))
            << bench.out << "--- stderr\n"
            << bench.err;
    }
}

// On a volume that fills up, the run is warned of first, on stderr, and goes on: the writes that
// fail are part of what it measures, and they make the exit status 1. A file cut short ends on a
// page boundary, and none of these sizes is a multiple of 4096; the order of the sizes is random.
TEST(FullVolumeCli, AMultiWriteThatFillsTheVolumeReportsTheFilesThatFit) {
    ScratchMount mount(8 << 20);
    QUORLAN_REQUIRE_SCRATCH_MOUNT(mount);
    const std::string sizes = "--sizes 1000000,2000000,3000000,4000000 ";
    const Outcome full = runBench("multi-write --verbose " + sizes + mount.path());
    EXPECT_EQ(full.status, 1) << full.out;
    EXPECT_EQ(full.err.rfind("quorlan-bench: warning: This test writes 10.00 MB; the volume has "
                             "8.39 MB free.\n",
                             0),
              0u)
        << full.err;
    std::multiset<std::string> logged; // each w line names a file that holds its whole size
    std::multiset<std::string> whole;
    const std::regex line("\nw,(\\d+),");
    for (std::sregex_iterator it(full.out.begin(), full.out.end(), line), end; it != end; ++it)
        logged.insert((*it)[1]);
    for (const auto &entry : fs::directory_iterator(mount.path())) {
        if (entry.file_size() % 1000000 == 0 && entry.file_size() > 0)
            whole.insert(std::to_string(entry.file_size()));
    }
    ASSERT_TRUE(!whole.empty() && whole.size() < 4) << "the volume never filled up";
    EXPECT_EQ(logged, whole) << full.out;
    // The same test again replaces its own files: the space they hold counts, and three passes
    // of them still do not fit.
    const Outcome again = runBench("multi-write --repeats 3 " + sizes + mount.path());
    EXPECT_EQ(again.status, 1);
    EXPECT_TRUE(std::regex_search(again.err,
                                  std::regex("^quorlan-bench: warning: This test writes 30.00 MB; "
                                             "the volume has [0-9.]+ (kB|bytes?) free, and "
                                             "[0-9.]+ MB in the files it replaces\\.\n")))
        << again.err;
}
