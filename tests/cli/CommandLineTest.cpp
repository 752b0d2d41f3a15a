#include "../bench/TempFolder.h"

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

std::string escapeRegex(const std::string &text) {
    static const std::regex special(R"([.^$|()\[\]{}*+?\\])");
    return std::regex_replace(text, special, R"(\$&)");
}

// A golden file written by hand: exact text with {path}, {time}, {rate} and {date} standing for
// what changes from run to run, and {machine}, {os} and {version} for this machine's texts.
// {machine} is the description block up to its last line feed: its lines in their fixed order,
// the optional ones (machine name, chip type, processors, memory) only in their places.
bool matchesGolden(const std::string &output, const std::string &fixture, const std::string &path) {
    std::ifstream in(std::string(QUORLAN_FIXTURES) + "/" + fixture);
    std::string golden((std::istreambuf_iterator<char>(in)), {});
    std::string pattern = escapeRegex(golden);
    auto replace = [&](const std::string &token, const std::string &with) {
        const std::string escaped = escapeRegex(token);
        for (std::size_t at = pattern.find(escaped); at != std::string::npos;
             at = pattern.find(escaped, at + with.size()))
            pattern.replace(at, escaped.size(), with);
    };
    replace("{path}", escapeRegex(path));
    replace("{time}", R"((\d+\.\d+|\d(\.\d+)?e-\d\d))");
    replace("{rate}", R"(\d+)");
    replace("{size}", R"((20000|40000))");
    replace("{figure}", R"((-?\d+(\.\d\d)? (bytes?|kB|MB|GB|TB|PB|EB)|n/a))");
    replace("{date}", R"(\d{4}-\d\d-\d\d \d\d:\d\d:\d\d \+0000)");
    replace("{machine}", R"(Mac model = [^\n]*\n(Machine name = [^\n]*\n)?Version = [^\n]*\n)"
                         R"(Hardware UUID = [^\n]*\nCPU = [^\n]*, [^\n]* cores\n)"
                         R"((Chip type = [^\n]*\n)?(Number of processors = [^\n]*\n)?)"
                         R"(Logic board ID = [^\n]*(\nPhysical memory = [^\n]*)?)");
    replace("{os}", R"([^\n]*)");
    replace("{version}", R"(\d+\.\d+\.\d+)");
    return std::regex_match(output, std::regex(pattern));
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
