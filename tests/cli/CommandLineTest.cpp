#include "../bench/TempFolder.h"
#include "../support/GoldenMatch.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <regex>
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

Outcome runBench(const std::string &arguments) {
    const std::string command = std::string(QUORLAN_BENCH_EXE) + " " + arguments + " 2>/dev/null";
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
             "multi-write --sizes 1,x " + folder, "write --size"}) {
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
