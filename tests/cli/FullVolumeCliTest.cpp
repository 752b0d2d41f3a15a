// quorlan-bench on a volume that fills up during the run.

#include "../support/ScratchMount.h"
#include "../support/TempFolder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <regex>
#include <set>
#include <sstream>
#include <sys/wait.h>
#include <vector>

using namespace quorlan::testing;
namespace fs = std::filesystem;

namespace {

std::string shellQuoted(const std::string &text) {
    std::string result = "'";
    for (char c : text) {
        if (c == '\'')
            result += "'\\''";
        else
            result += c;
    }
    result += "'";
    return result;
}

// Runs quorlan-bench with stderr kept in errors; the exit status is -1 when it did not exit
// normally (a crash).
int runBench(const std::string &arguments, std::string &out, const std::string &errors) {
    std::string command = QUORLAN_BENCH_EXE;
    command += " ";
    command += arguments;
    command += " 2>" + shellQuoted(errors);
    FILE *pipe = popen(command.c_str(), "r");
    if (!pipe)
        return -1;
    char buffer[4096];
    for (std::size_t n = 0; (n = fread(buffer, 1, sizeof buffer, pipe)) > 0;)
        out.append(buffer, n);
    const int status = pclose(pipe);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

} // namespace

// The run is warned of first, on stderr, and goes on: the writes that fail are part of what it
// measures, and they make the exit status 1.
TEST(FullVolumeCli, MultiWriteThatFillsTheVolumeExitsOneAndReportsTheFilesThatFit) {
    ScratchMount mount(8 << 20);
    QUORLAN_REQUIRE_SCRATCH_MOUNT(mount);
    const std::vector<std::int64_t> sizes = {1000000, 2000000, 3000000, 4000000};
    std::string out;
    const TempFolder errorsFolder;
    const std::string errors = errorsFolder.path() + "/stderr.txt";
    const int status = runBench("multi-write --sizes 1000000,2000000,3000000,4000000 --verbose " +
                                    shellQuoted(mount.path()),
                                out, errors);
    EXPECT_EQ(status, 1) << out;
    EXPECT_EQ(fileContents(errors).rfind("quorlan-bench: warning: This test writes 10.00 MB; the "
                                         "volume has 8.39 MB free.\n",
                                         0),
              0u)
        << fileContents(errors);
    EXPECT_EQ(out.find("warning"), std::string::npos);

    // Each w line names a file that holds its whole size; no other file does. The run's order is
    // random, so a file counts as whole when its size is one of the list's: a file cut short ends
    // on a page boundary, and none of these sizes is a multiple of 4096.
    std::multiset<std::int64_t> lines;
    std::istringstream text(out);
    for (std::string line; std::getline(text, line);) {
        if (line.rfind("w,", 0) == 0)
            lines.insert(std::stoll(line.substr(2)));
    }
    std::multiset<std::int64_t> full;
    for (std::size_t i = 0; i < sizes.size(); ++i) {
        const std::string path = mount.path() + "/1-" + std::to_string(i) + ".tiff";
        std::error_code error;
        const auto onDisk = static_cast<std::int64_t>(fs::file_size(path, error));
        if (!error && std::count(sizes.begin(), sizes.end(), onDisk) == 1)
            full.insert(onDisk);
    }
    ASSERT_FALSE(full.empty());
    ASSERT_LT(full.size(), sizes.size()) << "the volume never filled up";
    EXPECT_EQ(lines, full) << out;
    EXPECT_EQ(out.rfind("type,size,time,rate\n", 0), 0u) << out;
    EXPECT_NE(out.find("\nWrite = " + std::to_string(full.size()) + "\n"), std::string::npos);
    EXPECT_NE(out.find("\nOverall = " + std::to_string(full.size()) + "\n"), std::string::npos);
    EXPECT_NE(out.find("\nTest path " + mount.path() + "\n"), std::string::npos);
    EXPECT_NE(out.find("\nQuorlan version "), std::string::npos);

    // Run again, the same test replaces its own files: the space they hold counts, and three
    // passes of them still do not fit.
    out.clear();
    EXPECT_EQ(runBench("multi-write --repeats 3 --sizes 1000000,2000000,3000000,4000000 " +
                           shellQuoted(mount.path()),
                       out, errors),
              1);
    EXPECT_TRUE(std::regex_match(fileContents(errors),
                                 std::regex("quorlan-bench: warning: This test writes 30.00 MB; "
                                            "the volume has [0-9.]+ (kB|bytes?) free, and "
                                            "[0-9.]+ MB in the files it replaces\\.\n(.|\n)*")))
        << fileContents(errors);
}
