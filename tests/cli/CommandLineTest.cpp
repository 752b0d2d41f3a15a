#include "../support/GoldenMatch.h"
#include "../support/TempFolder.h"
#include "BenchProcess.h"
#include "bench/SysCalls.h"
#include "bench/VolumeInfo.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <regex>
#include <set>
#include <sstream>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>

using namespace quorlan::testing;
namespace fs = std::filesystem;

namespace {

struct Outcome {
    int status = -1;
    std::string out;
};

std::string quoted(const std::string &text) {
    std::string result = "'";
    for (char c : text)
        result += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return result + "'";
}

// Runs quorlan-bench with its standard error sent to errors (discarded by default), in the
// folder given (the test's own by default).
Outcome runBench(const std::string &arguments, const std::string &errors = "/dev/null",
                 const std::string &folder = "") {
    const std::string command = (folder.empty() ? "" : "cd " + quoted(folder) + " && ") +
                                std::string(QUORLAN_BENCH_EXE) + " " + arguments + " 2>" +
                                quoted(errors);
    Outcome outcome;
    FILE *pipe = popen(command.c_str(), "r");
    if (!pipe)
        return outcome;
    char buffer[4096];
    std::size_t n = 0;
    while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0)
        outcome.out.append(buffer, n);
    const int status = pclose(pipe);
    outcome.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return outcome;
}

QJsonObject jsonFile(const std::string &path) {
    const QByteArray bytes = QByteArray::fromStdString(fileContents(path));
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(bytes, &error);
    EXPECT_EQ(error.error, QJsonParseError::NoError) << path;
    return document.object();
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

} // namespace

TEST(CommandLine, WriteThenReadMatchTheGoldenLogs) {
    const TempFolder scratch;
    const std::string folder = scratch.path();
    const Outcome write = runBench("write --size 5 --unit MB --fill 0x88 " + quoted(folder + "/w"));
    EXPECT_EQ(write.status, 0);
    EXPECT_TRUE(matchesGolden(write.out, "cli-write-5MB.txt", folder + "/w.tiff")) << write.out;
    EXPECT_EQ(fs::file_size(folder + "/w.tiff"), 5000000u);

    const Outcome read = runBench("read --no-cache " + quoted(folder + "/w.tiff"));
    EXPECT_EQ(read.status, 0);
    EXPECT_TRUE(matchesGolden(read.out, "cli-read-nocache-5MB.txt", folder + "/w.tiff"))
        << read.out;

    writeFile(folder + "/empty", 0);
    const Outcome empty = runBench("read " + quoted(folder + "/empty"));
    EXPECT_TRUE(matchesGolden(empty.out, "cli-read-empty.txt", folder + "/empty")) << empty.out;
}

TEST(CommandLine, MultiWriteThenMultiReadMatchTheGoldenLogs) {
    const TempFolder scratch;
    const std::string folder = scratch.path();
    const Outcome write = runBench("multi-write --verbose --sizes 20000,40000 " + quoted(folder));
    EXPECT_EQ(write.status, 0);
    EXPECT_TRUE(matchesGolden(write.out, "cli-multi-write-verbose.txt", folder)) << write.out;
    EXPECT_EQ(fs::file_size(folder + "/1-0.tiff") + fs::file_size(folder + "/1-1.tiff"), 60000u);
    // A small file beside them is read but not recorded.
    writeFile(folder + "/note.txt", 100);
    const Outcome read = runBench("multi-read " + quoted(folder));
    EXPECT_TRUE(matchesGolden(read.out, "cli-multi-read.txt", folder)) << read.out;
}

// Every mistake is one message on stderr naming what is wrong, exit 2, nothing on stdout and
// nothing written.
TEST(CommandLine, UsageErrorsSayWhatIsWrongExitTwoAndWriteNothing) {
    const TempFolder scratch;
    const std::string folder = scratch.path();
    const TempFolder errorsFolder;
    const std::string errors = errorsFolder.path() + "/stderr.txt";
    const std::string a = quoted(folder + "/a");
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"", "no command given"},
        {"frobnicate " + a, "unknown command 'frobnicate'"},
        {"write", "no PATH given"},
        {"write " + a + " " + a, "more than one PATH given"},
        {"write --bogus " + a, "unknown option '--bogus'"},
        {"write -x " + a, "unknown option '-x'"},
        {"write --size", "missing value after '--size'"},
        {"multi-write " + quoted(folder) + " --json", "missing value after '--json'"},
        {"write --verbose=1 " + a, "unexpected value after '--verbose'"},
        {"write --size 5MB " + a, "--size: '5MB' is not a number"},
        {"write --size=5M " + a, "--size: '5M' is not a number"},
        {"write --size '' " + a, "--size: '' is not a number"},
        {"multi-write --repeats 2x " + quoted(folder), "--repeats: '2x' is not a number"},
        {"multi-write --length 1,000 " + quoted(folder), "--length: '1,000' is not a number"},
        {"write --unit TB " + a, "--unit: 'TB' is not KB, MB or GB"},
        {"write --fill 0x11 " + a, "--fill: '0x11' is not 0x00, 0x88, 0x1A or 0x41"},
        {"multi-write --sizes 1,x " + quoted(folder),
         "--sizes: '1,x' is not a list of byte counts such as 20000,40000"},
        {"write " + quoted(folder), "'" + folder + "' is a folder"},
        {"write " + quoted(folder + "/missing/a"),
         "the folder of '" + folder + "/missing/a.tiff' does not exist"},
        {"read " + quoted(folder), "'" + folder + "' is a folder, not a file"},
        {"read " + quoted(folder + "/none"), "'" + folder + "/none' does not exist"},
        {"multi-read " + quoted(folder + "/none"),
         "'" + folder + "/none' is not an existing folder"},
    };
    for (const auto &[arguments, message] : cases) {
        SCOPED_TRACE(arguments);
        const Outcome outcome = runBench(arguments, errors);
        EXPECT_EQ(outcome.status, 2);
        EXPECT_EQ(outcome.out, "");
        EXPECT_EQ(fileContents(errors),
                  "quorlan-bench: " + message + "\nTry 'quorlan-bench --help'.\n");
    }
    EXPECT_TRUE(fs::is_empty(folder));
}

// The forms every Linux tool accepts, and the numbers the window's field accepts, all write the
// file they name: options before or after PATH, "--opt=value", "--" before a PATH that begins
// with a dash, a relative PATH made absolute and normal.
TEST(CommandLine, ParsingFormsAndTypedNumbersWriteTheFileTheyName) {
    const TempFolder scratch;
    const std::string folder = scratch.path();
    struct Case {
        std::string arguments;
        std::string file; // in folder, as the log's path line names it
        std::uintmax_t size;
    };
    const std::vector<Case> cases = {
        {"write --size 5 a", "a.tiff", 5000},
        {"write --size=5 --unit=mb b.TIFF", "b.TIFF", 5000000},
        {"write c --size ' 5 ' --fill=0x41", "c.tiff", 5000},
        {"write --size +5 ./d", "d.tiff", 5000},
        {"write --size 2.7 e//", "e.tiff", 2000},
        {"write --size 1e3 .//f.tiff", "f.tiff", 1000000},
        {"write --size 3 -- -dash", "-dash.tiff", 3000},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.arguments);
        const Outcome outcome = runBench(c.arguments, "/dev/null", folder);
        EXPECT_EQ(outcome.status, 0);
        const std::string path = folder + "/" + c.file;
        EXPECT_NE(outcome.out.find("\nTest path " + path + "\n"), std::string::npos) << outcome.out;
        std::error_code error;
        EXPECT_EQ(fs::file_size(path, error), c.size);
    }
    EXPECT_EQ(fileContents(folder + "/c.tiff"), std::string(5000, '\x41'));
}

// 0 when every timed operation succeeded; 1 when the test ran but an operation failed or
// nothing could be measured.
TEST(CommandLine, TheExitStatusSaysWhetherEveryOperationSucceeded) {
    const TempFolder scratch;
    const std::string folder = scratch.path();
    fs::create_directory(folder + "/small");
    writeFile(folder + "/small/note", 100);
    writeFile(folder + "/empty", 0);
    fs::create_directory(folder + "/some");
    writeFile(folder + "/some/empty", 0);
    writeFile(folder + "/some/large", 20000);
    const std::vector<std::pair<std::string, int>> cases = {
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
    for (const auto &[arguments, status] : cases) {
        SCOPED_TRACE(arguments);
        EXPECT_EQ(runBench(arguments, "/dev/null", folder).status, status);
    }
}

// The test path line and the files of the results are absolute and normal; a link in the path is
// kept as typed.
TEST(CommandLine, PathsInTheLogAndTheResultsAreAbsoluteAndNormal) {
    const TempFolder scratch;
    const std::string folder = scratch.path();
    fs::create_directory(folder + "/z");
    fs::create_directory_symlink("z", folder + "/link");
    for (const auto &[typed, shown] : std::vector<std::pair<std::string, std::string>>{
             {"z/", folder + "/z"}, {"./link//.", folder + "/link"}}) {
        SCOPED_TRACE(typed);
        const Outcome outcome =
            runBench("multi-write --sizes 20000 --json r.json " + typed, "/dev/null", folder);
        EXPECT_EQ(outcome.status, 0);
        EXPECT_NE(outcome.out.find("\nTest path " + shown + "\n"), std::string::npos)
            << outcome.out;
        const QJsonObject json = jsonFile(folder + "/r.json");
        EXPECT_EQ(json["path"].toString().toStdString(), shown);
        EXPECT_EQ(json["results"].toArray()[0].toObject()["path"].toString().toStdString(),
                  shown + "/1-0.tiff");
    }
}

// The first SIGINT or SIGTERM ends a multi-write after the file in progress, with all that a
// cancelled run prints; the exit status names the signal. The second file's name is a named pipe,
// whose open waits for a reader: the run cannot end before the signal arrives.
TEST(CommandLine, ASignalEndsAMultiWriteAsCancelDoes) {
    for (const auto &[number, status] : {std::pair{SIGINT, 130}, std::pair{SIGTERM, 143}}) {
        SCOPED_TRACE(number);
        const TempFolder scratch;
        const std::string folder = scratch.path();
        ASSERT_EQ(::mkfifo((folder + "/1-1.tiff").c_str(), 0600), 0);
        BenchProcess bench({"multi-write", "--sizes", "20000,20000,20000", folder});
        // The first file exists once the test runs, and with it the handling of signals.
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (!fs::exists(folder + "/1-0.tiff") && std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        bench.signal(number);
        ASSERT_TRUE(bench.waitForOutput("stopping after the file in progress", true));
        const PipeReader reader(folder + "/1-1.tiff");
        const int wait = bench.finish();
        ASSERT_TRUE(WIFEXITED(wait));
        EXPECT_EQ(WEXITSTATUS(wait), status);
        EXPECT_EQ(bench.out.rfind("Test cancelled.\n\nWrite = ", 0), 0u) << bench.out;
        EXPECT_NE(bench.out.find("\nTest path " + folder + "\n"), std::string::npos);
        EXPECT_NE(bench.out.find("\nQuorlan version "), std::string::npos);
        EXPECT_EQ(bench.err.rfind("quorlan-bench: stopping after the file in progress; a second "
                                  "Ctrl-C stops at once\n",
                                  0),
                  0u)
            << bench.err;
        EXPECT_FALSE(fs::exists(folder + "/1-2.tiff"));
    }
}

// A single write is one request: after a first Ctrl-C it still finishes, prints its line and the
// footer and exits 130; a second Ctrl-C ends the program at once. The write goes to a named pipe,
// whose open waits for a reader, so the signals arrive while the test is under way.
TEST(CommandLine, ASingleWriteFinishesItsRequestAndASecondCtrlCEndsAtOnce) {
    const TempFolder scratch;
    const std::string folder = scratch.path();
    const std::string pipe = folder + "/p.tiff";
    for (const bool twice : {false, true}) {
        SCOPED_TRACE(twice ? "twice" : "once");
        ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
        BenchProcess bench({"write", pipe});
        ASSERT_TRUE(bench.waitForOutput("type,size,time,rate\n"));
        bench.signal(SIGINT);
        ASSERT_TRUE(bench.waitForOutput("stopping after the file in progress", true));
        if (twice)
            bench.signal(SIGINT);
        const PipeReader reader(pipe);
        const int wait = bench.finish();
        if (twice) {
            EXPECT_TRUE(WIFSIGNALED(wait) && WTERMSIG(wait) == SIGINT) << wait;
            EXPECT_EQ(bench.out, "type,size,time,rate\n");
        } else {
            ASSERT_TRUE(WIFEXITED(wait));
            EXPECT_EQ(WEXITSTATUS(wait), 130);
            // A pipe cannot be synced: the one line shows the failure time.
            EXPECT_EQ(bench.out.rfind(
                          "type,size,time,rate\nw,1000,-1.0,-1000\n\nTest path " + pipe + "\n", 0),
                      0u)
                << bench.out;
            EXPECT_NE(bench.out.find("\nQuorlan version "), std::string::npos);
        }
        fs::remove(pipe);
    }
}

// The usage text, the manual page and the README name the same commands, options and exit
// statuses.
TEST(CommandLine, HelpManualAndReadmeAgree) {
    const std::string help = runBench("--help").out;
    const std::string manual = std::regex_replace(
        fileContents(std::string(QUORLAN_SOURCE_DIR) + "/src/cli/quorlan-bench.1.in"),
        std::regex(R"(\\-)"), "-");
    const std::string readme = fileContents(std::string(QUORLAN_SOURCE_DIR) + "/README.md");
    std::set<std::string> names;
    const std::regex option("--[a-z][a-z-]*");
    for (auto it = std::sregex_iterator(help.begin(), help.end(), option);
         it != std::sregex_iterator(); ++it)
        names.insert(it->str());
    const std::size_t commands = help.find("Commands:\n");
    ASSERT_NE(commands, std::string::npos);
    std::istringstream lines(help.substr(commands + 10, help.find("\n\n", commands) - commands));
    for (std::string word, line; std::getline(lines, line);)
        if (line.size() > 2 && line[2] != ' ' && std::istringstream(line) >> word)
            names.insert(word);
    EXPECT_GT(names.size(), 18u); // thirteen options and five commands
    for (const std::string &name : names) {
        EXPECT_NE(manual.find(name), std::string::npos) << name << " is not in the manual";
        EXPECT_NE(readme.find(name), std::string::npos) << name << " is not in the README";
    }
    for (const char *status : {"0", "1", "2", "130", "143"}) {
        EXPECT_NE(help.find("\n  " + std::string(status) + " "), std::string::npos) << status;
        EXPECT_NE(manual.find(".B " + std::string(status) + "\n"), std::string::npos) << status;
        EXPECT_NE(readme.find("\n| " + std::string(status) + " |"), std::string::npos) << status;
    }
}

TEST(CommandLine, HelpAndVersion) {
    const Outcome help = runBench("--help");
    EXPECT_EQ(help.status, 0);
    EXPECT_NE(help.out.find("Usage: quorlan-bench COMMAND [OPTIONS] PATH"), std::string::npos);
    const Outcome version = runBench("--version");
    EXPECT_TRUE(std::regex_match(version.out, std::regex(R"(quorlan-bench \d+\.\d+\.\d+\n)")));
}

TEST(CommandLine, JsonAndCsvExportsFollowTheRunAndLeaveTheLogAsItIs) {
    const TempFolder scratch;
    const std::string folder = scratch.path();
    const TempFolder exportsFolder;
    const std::string exports = exportsFolder.path();
    const Outcome write =
        runBench("multi-write --verbose --sizes 20000,40000 --json " + quoted(exports + "/r.json") +
                 " --csv " + quoted(exports + "/r.csv") + " " + quoted(folder));
    EXPECT_EQ(write.status, 0);
    EXPECT_TRUE(matchesGolden(write.out, "cli-multi-write-verbose.txt", folder)) << write.out;

    const QJsonObject json = jsonFile(exports + "/r.json");
    EXPECT_EQ(json["format"].toInteger(), 1);
    EXPECT_EQ(json["command"].toString(), "multi-write");
    EXPECT_EQ(json["path"].toString().toStdString(), folder);
    EXPECT_EQ(json["fileSystemType"].toString().toStdString(),
              quorlan::fileSystemOf(quorlan::systemCalls(), folder).type);
    EXPECT_FALSE(json["fileSystemType"].toString().isEmpty());
    EXPECT_EQ(json["machine"].toObject()["quorlanVersion"].toString(), QUORLAN_VERSION);
    const QJsonArray results = json["results"].toArray();
    ASSERT_EQ(results.size(), 2);
    std::set<std::int64_t> sizes;
    for (const QJsonValue result : results) {
        const std::string path = result["path"].toString().toStdString();
        EXPECT_EQ(static_cast<qint64>(fs::file_size(path)), result["size"].toInteger()) << path;
        sizes.insert(result["size"].toInteger());
    }
    EXPECT_EQ(sizes, (std::set<std::int64_t>{20000, 40000}));
    EXPECT_EQ(json["summary"].toObject()["write"].toObject()["n"].toInteger(), 2);

    // The CSV's rows are the JSON's results, in the same order.
    const std::string csv = fileContents(exports + "/r.csv");
    const std::regex rows("type,typeCode,size,time,rate,cache,path\r\n"
                          "write,2,(\\d+),[0-9.e-]+,[0-9.e+]+,none,[^\r\n]+/1-0\\.tiff\r\n"
                          "write,2,(\\d+),[0-9.e-]+,[0-9.e+]+,none,[^\r\n]+/1-1\\.tiff\r\n");
    std::smatch match;
    ASSERT_TRUE(std::regex_match(csv, match, rows)) << csv;
    EXPECT_EQ(match[1].str(), std::to_string(results[0]["size"].toInteger()));
}

TEST(CommandLine, AResultsFileThatCannotBeWrittenExitsOneAfterTheRun) {
    const TempFolder scratch;
    const std::string folder = scratch.path();
    const TempFolder exportsFolder;
    const std::string exports = exportsFolder.path();
    const std::string errors = exports + "/stderr.txt";
    const std::string missing = exports + "/missing/r.json";
    const Outcome outcome =
        runBench("multi-write --verbose --sizes 20000,40000 --json " + quoted(missing) + " --csv " +
                     quoted(exports + "/r.csv") + " " + quoted(folder),
                 errors);
    EXPECT_EQ(outcome.status, 1);
    // The test ran and logged as always; the other export was still written.
    EXPECT_TRUE(matchesGolden(outcome.out, "cli-multi-write-verbose.txt", folder)) << outcome.out;
    EXPECT_EQ(fs::file_size(folder + "/1-0.tiff") + fs::file_size(folder + "/1-1.tiff"), 60000u);
    EXPECT_EQ(fileContents(exports + "/r.csv").rfind("type,typeCode,", 0), 0u);
    // The warnings come first, then the failure; the reason is the system's text, in the user's
    // language.
    const auto message = [](const std::string &file, std::uintmax_t largest) {
        return std::regex("quorlan-bench: warning: Every file of this run is under 10 MB \\(the "
                          "largest " +
                          std::to_string(largest) +
                          " bytes\\): rates of transfers this short mean little\\.\n"
                          "quorlan-bench: cannot write results to \"" +
                          escapeRegex(file) + "\": [^\n]+\n");
    };
    EXPECT_TRUE(std::regex_match(fileContents(errors), message(missing, 40000)))
        << fileContents(errors);

    // A folder in the way of the CSV.
    const Outcome intoFolder =
        runBench("read --csv " + quoted(exports) + " " + quoted(folder + "/1-0.tiff"), errors);
    EXPECT_EQ(intoFolder.status, 1);
    EXPECT_TRUE(std::regex_match(fileContents(errors),
                                 message(exports, fs::file_size(folder + "/1-0.tiff"))))
        << fileContents(errors);
}
