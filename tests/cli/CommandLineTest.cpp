#include "../bench/TempFolder.h"
#include "../support/GoldenMatch.h"
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
#include <sys/wait.h>

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

// Runs quorlan-bench with its standard error sent to errors (discarded by default).
Outcome runBench(const std::string &arguments, const std::string &errors = "/dev/null") {
    const std::string command =
        std::string(QUORLAN_BENCH_EXE) + " " + arguments + " 2>" + quoted(errors);
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

} // namespace

TEST(CommandLine, WriteThenReadMatchTheGoldenLogs) {
    const std::string folder = makeTempFolder();
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
    const std::string folder = makeTempFolder();
    const Outcome write = runBench("multi-write --verbose --sizes 20000,40000 " + quoted(folder));
    EXPECT_EQ(write.status, 0);
    EXPECT_TRUE(matchesGolden(write.out, "cli-multi-write-verbose.txt", folder)) << write.out;
    EXPECT_EQ(fs::file_size(folder + "/1-0.tiff") + fs::file_size(folder + "/1-1.tiff"), 60000u);
    // A small file beside them is read but not recorded.
    writeFile(folder + "/note.txt", 100);
    const Outcome read = runBench("multi-read " + quoted(folder));
    EXPECT_TRUE(matchesGolden(read.out, "cli-multi-read.txt", folder)) << read.out;
}

TEST(CommandLine, UsageErrorsExitTwoAndWriteNothing) {
    const std::string folder = makeTempFolder();
    for (const std::string &arguments : std::vector<std::string>{
             std::string(""), "frobnicate " + folder, "write", "write --unit TB " + folder + "/a",
             "write --fill 0x11 " + folder + "/a", "write " + folder + "/missing/a.tiff",
             "write " + folder, "read " + folder, "read " + folder + "/none",
             "multi-read " + folder + "/none", "write --bogus " + folder + "/a",
             "multi-write --sizes 1,x " + folder, "write --size",
             "multi-write " + folder + " --json", "multi-write " + folder + " --csv"}) {
        const Outcome outcome = runBench(arguments);
        EXPECT_EQ(outcome.status, 2) << arguments;
        EXPECT_EQ(outcome.out, "") << arguments;
    }
    EXPECT_TRUE(fs::is_empty(folder));
}

TEST(CommandLine, HelpAndVersion) {
    const Outcome help = runBench("--help");
    EXPECT_EQ(help.status, 0);
    EXPECT_NE(help.out.find("Usage: quorlan-bench COMMAND [OPTIONS] PATH"), std::string::npos);
    const Outcome version = runBench("--version");
    EXPECT_TRUE(std::regex_match(version.out, std::regex(R"(quorlan-bench \d+\.\d+\.\d+\n)")));
}

TEST(CommandLine, JsonAndCsvExportsFollowTheRunAndLeaveTheLogAsItIs) {
    const std::string folder = makeTempFolder();
    const std::string exports = makeTempFolder();
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
    const std::string folder = makeTempFolder();
    const std::string exports = makeTempFolder();
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
