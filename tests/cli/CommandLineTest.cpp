#include "../support/GoldenMatch.h"
#include "../support/ScratchMount.h"
#include "../support/TempFolder.h"
#include "BenchProcess.h"
#include "bench/SysCalls.h"
#include "bench/VolumeInfo.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <gtest/gtest.h>

#include <filesystem>
#include <regex>
#include <set>
#include <sstream>
#include <sys/stat.h>

using namespace quorlan::testing;
namespace fs = std::filesystem;

namespace {

struct Outcome {
    int status = -1;
    std::string out;
    std::string err;
};

// Runs quorlan-bench in folder on the words of line, split at single spaces ("''" stands for an
// empty argument).
Outcome runBench(const std::string &line, const std::string &folder = "", bool terminal = false) {
    std::vector<std::string> arguments;
    std::istringstream words(line);
    for (std::string word; std::getline(words, word, ' ');)
        arguments.push_back(word == "''" ? "" : word);
    BenchProcess bench(line.empty() ? std::vector<std::string>{} : arguments, folder, terminal);
    const int status = bench.exitStatus();
    return {status, bench.out, bench.err};
}

// text with every "{dir}" replaced by folder.
std::string inFolder(std::string text, const std::string &folder) {
    for (std::size_t at = text.find("{dir}"); at != std::string::npos; at = text.find("{dir}", at))
        text.replace(at, 5, folder);
    return text;
}

QJsonObject jsonFile(const std::string &path) {
    return QJsonDocument::fromJson(QByteArray::fromStdString(fileContents(path))).object();
}

// A reader of a named pipe for as long as the object lives: a writer waiting in its open goes on,
// and a later writer does not wait at all. The data (at most the pipe's 64 KiB) is never read.
class PipeReader {
public:
    explicit PipeReader(const std::string &pipe)
        : fd_(::open(pipe.c_str(), O_RDONLY | O_NONBLOCK)) {}
    ~PipeReader() { ::close(fd_); }
    PipeReader(const PipeReader &) = delete;
    PipeReader &operator=(const PipeReader &) = delete;

private:
    int fd_;
};

const std::string stopping =
    "quorlan-bench: stopping after the file in progress; a second Ctrl-C stops at once\n";

} // namespace

TEST(CommandLine, WriteThenReadMatchTheGoldenLogs) {
    const TempFolder scratch;
    const std::string dir = scratch.path();
    const Outcome write = runBench("write --size 5 --unit MB --fill 0x88 w", dir);
    EXPECT_EQ(write.status, 0);
    EXPECT_TRUE(matchesGolden(write.out, "cli-write-5MB.txt", dir + "/w.tiff")) << write.out;
    EXPECT_EQ(fileContents(dir + "/w.tiff"), std::string(5000000, '\x88'));
    const Outcome read = runBench("read --no-cache w.tiff", dir);
    EXPECT_TRUE(matchesGolden(read.out, "cli-read-nocache-5MB.txt", dir + "/w.tiff")) << read.out;
    writeFile(dir + "/empty", 0);
    const Outcome empty = runBench("read empty", dir);
    EXPECT_TRUE(matchesGolden(empty.out, "cli-read-empty.txt", dir + "/empty")) << empty.out;
}

// The exports follow the run and leave the log as it is; a small file beside the written ones
// is read but not recorded.
TEST(CommandLine, MultiWriteWithExportsThenMultiReadMatchTheGoldenLogs) {
    const TempFolder scratch;
    const TempFolder exports;
    const std::string dir = scratch.path();
    const Outcome write =
        runBench("multi-write --verbose --sizes 20000,40000 --json " + exports.path() +
                     "/r.json --csv " + exports.path() + "/r.csv " + dir,
                 dir);
    EXPECT_EQ(write.status, 0);
    EXPECT_TRUE(matchesGolden(write.out, "cli-multi-write-verbose.txt", dir)) << write.out;
    EXPECT_EQ(fs::file_size(dir + "/1-0.tiff") + fs::file_size(dir + "/1-1.tiff"), 60000u);
    const QJsonObject json = jsonFile(exports.path() + "/r.json");
    EXPECT_EQ(json["command"].toString(), "multi-write");
    EXPECT_EQ(json["fileSystemType"].toString().toStdString(),
              quorlan::fileSystemOf(quorlan::systemCalls(), dir).type);
    EXPECT_EQ(json["machine"].toObject()["quorlanVersion"].toString(), QUORLAN_VERSION);
    EXPECT_EQ(json["results"].toArray().size(), 2);
    EXPECT_TRUE(std::regex_match(fileContents(exports.path() + "/r.csv"),
                                 std::regex("type,typeCode,size,time,rate,cache,path\r\n"
                                            "(write,2,[24]0000,[^\r\n]+/1-[01]\\.tiff\r\n){2}")));
    writeFile(dir + "/note.txt", 100);
    const Outcome read = runBench("multi-read .", dir);
    EXPECT_TRUE(matchesGolden(read.out, "cli-multi-read.txt", dir)) << read.out;
}

// The usage text names every command and option, and so do the manual page and the README, with
// the same exit statuses.
TEST(CommandLine, HelpMatchesItsSnapshotAndAgreesWithTheManualAndReadme) {
    const Outcome help = runBench("--help");
    EXPECT_EQ(help.status, 0);
    EXPECT_TRUE(matchesSnapshot(help.out, "cli-help.txt"));
    EXPECT_EQ(runBench("-h").out, help.out);
    EXPECT_TRUE(std::regex_match(runBench("--version").out,
                                 std::regex(R"(quorlan-bench \d+\.\d+\.\d+\n)")));
    const std::string manual = std::regex_replace(
        fileContents(QUORLAN_SOURCE_DIR "/src/cli/quorlan-bench.1.in"), std::regex(R"(\\-)"), "-");
    const std::string readme = fileContents(QUORLAN_SOURCE_DIR "/README.md");
    std::set<std::string> names; // the options, and the commands: the words indented by two
    const std::regex name("--[a-z][a-z-]*|\n  ([a-z][a-z-]+)  ");
    for (auto it = std::sregex_iterator(help.out.begin(), help.out.end(), name);
         it != std::sregex_iterator(); ++it)
        names.insert((*it)[1].matched ? (*it)[1].str() : it->str());
    EXPECT_EQ(names.size(), 18u); // thirteen options and five commands
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

// Every mistake is one message on stderr naming what is wrong, exit 2, nothing on stdout and
// nothing written.
TEST(CommandLine, UsageErrorsSayWhatIsWrongExitTwoAndWriteNothing) {
    const TempFolder scratch;
    const std::pair<const char *, const char *> cases[] = {
        {"", "no command given"},
        {"frobnicate a", "unknown command 'frobnicate'"},
        {"write", "no PATH given"},
        {"write a a", "more than one PATH given"},
        {"write --bogus a", "unknown option '--bogus'"},
        {"write -x a", "unknown option '-x'"},
        {"write --size", "missing value after '--size'"},
        {"multi-write . --json", "missing value after '--json'"},
        {"write --verbose=1 a", "unexpected value after '--verbose'"},
        {"write --size 5MB a", "--size: '5MB' is not a number"},
        {"write --size=5M a", "--size: '5M' is not a number"},
        {"write --size '' a", "--size: '' is not a number"},
        {"multi-write --repeats 2x .", "--repeats: '2x' is not a number"},
        {"multi-write --length 1,000 .", "--length: '1,000' is not a number"},
        {"write --unit TB a", "--unit: 'TB' is not KB, MB or GB"},
        {"write --fill 0x11 a", "--fill: '0x11' is not 0x00, 0x88, 0x1A or 0x41"},
        {"multi-write --sizes 1,x .",
         "--sizes: '1,x' is not a list of byte counts such as 20000,40000"},
        {"write .", "'{dir}' is a folder"},
        {"write missing/a", "the folder of '{dir}/missing/a.tiff' does not exist"},
        {"read .", "'{dir}' is a folder, not a file"},
        {"read none", "'{dir}/none' does not exist"},
        {"multi-read none", "'{dir}/none' is not an existing folder"},
    };
    for (const auto &[arguments, message] : cases) {
        SCOPED_TRACE(arguments);
        const Outcome outcome = runBench(arguments, scratch.path());
        EXPECT_EQ(outcome.status, 2);
        EXPECT_EQ(outcome.out, "");
        EXPECT_EQ(outcome.err, inFolder("quorlan-bench: " + std::string(message) +
                                            "\nTry 'quorlan-bench --help'.\n",
                                        scratch.path()));
    }
    EXPECT_TRUE(fs::is_empty(scratch.path()));
}

// The forms every Linux tool accepts, and the numbers the window's field accepts, all write the
// file they name: options before or after PATH, "--opt=value", "--" before a PATH that begins
// with a dash; the path in the log, absolute and normal, keeps a link as typed.
TEST(CommandLine, ParsingFormsWriteTheFileTheyNameAndTheLogShowsItsNormalPath) {
    const TempFolder scratch;
    const std::string dir = scratch.path();
    fs::create_directory(dir + "/z");
    fs::create_directory_symlink("z", dir + "/link");
    struct Case {
        const char *arguments;
        const char *file; // as the log's path line names it
        std::uintmax_t size;
    };
    const Case cases[] = {
        {"write --size 5 a", "a.tiff", 5000},
        {"write --size=5 --unit=mb b.TIFF", "b.TIFF", 5000000},
        {"write c --size \t5\t --fill=0x41", "c.tiff", 5000},
        {"write --size +5 ./d", "d.tiff", 5000},
        {"write --size 2.7 e//", "e.tiff", 2000},
        {"write --size 1e3 .//f.tiff", "f.tiff", 1000000},
        {"write --size 3 -- -dash", "-dash.tiff", 3000},
        {"write --size 1 ./link//./g", "link/g.tiff", 1000},
        {"multi-write --sizes 20000 z/", "z", 20000},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.arguments);
        const Outcome outcome = runBench(c.arguments, dir);
        EXPECT_EQ(outcome.status, 0);
        const std::string path = dir + "/" + c.file;
        EXPECT_NE(outcome.out.find("\nTest path " + path + "\n"), std::string::npos) << outcome.out;
        std::error_code error;
        EXPECT_EQ(fs::file_size(fs::is_directory(path) ? path + "/1-0.tiff" : path, error), c.size);
    }
    EXPECT_EQ(fileContents(dir + "/c.tiff"), std::string(5000, '\x41'));
    // The results name the files by the same path.
    EXPECT_EQ(runBench("multi-write --sizes 20000 --json r.json ./link//.", dir).status, 0);
    const QJsonObject json = jsonFile(dir + "/r.json");
    EXPECT_EQ(json["path"].toString().toStdString(), dir + "/link");
    EXPECT_EQ(json["results"].toArray()[0].toObject()["path"].toString().toStdString(),
              dir + "/link/1-0.tiff");
}

// 0 when every timed operation succeeded; 1 when the test ran but an operation failed, nothing
// could be measured or a results file could not be written.
TEST(CommandLine, TheExitStatusSaysWhetherEveryOperationSucceeded) {
    const TempFolder scratch;
    const std::string dir = scratch.path();
    fs::create_directory(dir + "/small");
    writeFile(dir + "/small/note", 100);
    writeFile(dir + "/empty", 0);
    fs::create_directory(dir + "/some");
    writeFile(dir + "/some/empty", 0);
    writeFile(dir + "/some/large", 20000);
    const std::pair<const char *, int> cases[] = {
        {"write --size 5 w", 0},
        {"read w.tiff", 0},
        {"read --no-cache w.tiff", 0},
        {"multi-write --sizes 20000,30000 .", 0},
        {"mixed --sizes 20000 .", 0},
        {"multi-read --no-cache some", 0}, // an empty file has nothing to time, and no failure
        {"write /proc/x.tiff", 1},         // the file cannot be created
        {"multi-write --sizes 20000,30000 /proc", 1}, // no file can be created
        {"mixed --sizes 20000 /proc", 1},
        {"multi-read small", 1},        // nothing large enough to count
        {"read --no-cache empty", 1},   // no byte to time
        {"multi-write --sizes 0 .", 1}, // an empty file is no measurement
    };
    for (const auto &[arguments, status] : cases)
        EXPECT_EQ(runBench(arguments, dir).status, status) << arguments;
}

// The warnings come first, then the failure naming the file as typed, with the system's reason; the
// test ran and logged as always, and the other export was still written.
TEST(CommandLine, AResultsFileThatCannotBeWrittenExitsOneAfterTheRun) {
    const TempFolder scratch;
    const std::string dir = scratch.path();
    const Outcome outcome = runBench(
        "multi-write --verbose --sizes 20000,40000 --json missing/r.json --csv r.csv .", dir);
    EXPECT_EQ(outcome.status, 1);
    EXPECT_TRUE(matchesGolden(outcome.out, "cli-multi-write-verbose.txt", dir)) << outcome.out;
    EXPECT_EQ(fileContents(dir + "/r.csv").rfind("type,typeCode,", 0), 0u);
    const auto message = [&](const std::string &file, const char *largest) {
        return std::regex("quorlan-bench: warning: Every file of this run is under 10 MB \\(the "
                          "largest " +
                          std::string(largest) +
                          " bytes\\): rates of transfers this short mean little\\.\n"
                          "quorlan-bench: cannot write results to \"" +
                          escapeRegex(file) + "\": [^\n]+\n");
    };
    EXPECT_TRUE(std::regex_match(outcome.err, message("missing/r.json", "40000"))) << outcome.err;
    // A folder in the way of the CSV.
    const Outcome intoFolder = runBench("read --csv . 1-1.tiff", dir);
    EXPECT_EQ(intoFolder.status, 1);
    EXPECT_TRUE(std::regex_match(intoFolder.err, message(".", "[24]0000"))) << intoFolder.err;
}

// On a terminal one progress line is rewritten for every file and erased at the end: the mixed
// test's writes show "writing", its read passes "pass k/n".
TEST(CommandLine, ATerminalShowsOneProgressLinePerFile) {
    const TempFolder scratch;
    const std::string dir = scratch.path();
    const Outcome mixed = runBench("mixed --sizes 20000 --repeats 2 .", dir, true);
    EXPECT_EQ(mixed.status, 0);
    EXPECT_TRUE(
        matchesSnapshot(std::regex_replace(mixed.err, std::regex(escapeRegex(dir)), "{dir}"),
                        "cli-progress-mixed.txt"));
}

// The first SIGINT or SIGTERM ends a multi-write after the file in progress, with all that a
// cancelled run prints; the exit status names the signal. The second file's name is a named
// pipe, whose open waits for a reader: the run cannot end before the signal arrives.
TEST(CommandLine, ASignalEndsAMultiWriteAsCancelDoes) {
    for (const auto &[number, status] : {std::pair{SIGINT, 130}, std::pair{SIGTERM, 143}}) {
        SCOPED_TRACE(number);
        const TempFolder scratch;
        const std::string dir = scratch.path();
        ASSERT_EQ(::mkfifo((dir + "/1-1.tiff").c_str(), 0600), 0);
        BenchProcess bench({"multi-write", "--sizes", "20000,20000,20000", dir}, "", true);
        ASSERT_TRUE(bench.waitForOutput("file 2/3", true));
        bench.signal(number);
        ASSERT_TRUE(bench.waitForOutput(stopping, true));
        const PipeReader reader(dir + "/1-1.tiff");
        EXPECT_EQ(bench.exitStatus(), status);
        EXPECT_EQ(bench.out.rfind("Test cancelled.\n\nWrite = ", 0), 0u) << bench.out;
        EXPECT_NE(bench.out.find("\nTest path " + dir + "\n"), std::string::npos);
        EXPECT_NE(bench.out.find("\nQuorlan version "), std::string::npos);
        // On a terminal the notice erases the progress line first.
        EXPECT_NE(bench.err.find(dir + "/1-1.tiff\r\033[K" + stopping), std::string::npos)
            << bench.err;
        EXPECT_FALSE(fs::exists(dir + "/1-2.tiff"));
    }
}

// A single write is one request: after a first Ctrl-C it still finishes, prints its line and the
// footer and exits 130; a second Ctrl-C ends the program at once. The write goes to a named pipe,
// whose open waits for a reader, so the signals arrive while the test is under way.
TEST(CommandLine, ASingleWriteFinishesItsRequestAndASecondCtrlCEndsAtOnce) {
    const TempFolder scratch;
    const std::string pipe = scratch.path() + "/p.tiff";
    for (const bool twice : {false, true}) {
        SCOPED_TRACE(twice ? "twice" : "once");
        ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
        BenchProcess bench({"write", pipe});
        ASSERT_TRUE(bench.waitForOutput("type,size,time,rate\n"));
        bench.signal(SIGINT);
        ASSERT_TRUE(bench.waitForOutput(stopping, true));
        if (twice)
            bench.signal(SIGINT);
        const PipeReader reader(pipe);
        EXPECT_EQ(bench.exitStatus(), twice ? -1 : 130);
        EXPECT_EQ(bench.err, stopping);
        // A pipe cannot be synced: the one line shows the failure time.
        EXPECT_EQ(bench.out.rfind(twice ? "type,size,time,rate\n"
                                        : "type,size,time,rate\nw,1000,-1.0,-1000\n\nTest path " +
                                              pipe + "\n",
                                  0),
                  0u)
            << bench.out;
        EXPECT_EQ(bench.out.find("\nQuorlan version ") != std::string::npos, !twice);
        fs::remove(pipe);
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
    std::multiset<std::int64_t> logged; // each w line names a file that holds its whole size
    std::multiset<std::int64_t> whole;
    std::istringstream text(full.out);
    for (std::string line; std::getline(text, line);) {
        if (line.rfind("w,", 0) == 0)
            logged.insert(std::stoll(line.substr(2)));
    }
    for (int i = 0; i < 4; ++i) {
        std::error_code error;
        const auto size = static_cast<std::int64_t>(
            fs::file_size(mount.path() + "/1-" + std::to_string(i) + ".tiff", error));
        if (!error && size % 1000000 == 0 && size > 0)
            whole.insert(size);
    }
    ASSERT_TRUE(!whole.empty() && whole.size() < 4) << "the volume never filled up";
    EXPECT_EQ(logged, whole) << full.out;
    EXPECT_NE(full.out.find("\nOverall = " + std::to_string(whole.size()) + "\n"),
              std::string::npos);
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
