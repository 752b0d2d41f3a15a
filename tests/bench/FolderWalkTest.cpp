// The folder walk on a deep tree with paths past PATH_MAX. (How the read test walks trees that
// change, misbehave or are odd: the folder-read rows of BenchTest.)
#include "../support/TempFolder.h"

#include "bench/FolderWalk.h"
#include "bench/SysCalls.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <fcntl.h>
#include <set>
#include <unistd.h>

using namespace quorlan;
using namespace quorlan::testing;

namespace {

// A chain of levels folders, the first named first and the others name, below top, each holding a
// file "f" of one byte, made through descriptors so that it may go past PATH_MAX. False when the
// file system refuses.
bool makeChain(const std::string &top, const std::string &first, const std::string &name,
               int levels) {
    int at = ::open(top.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    for (int level = 0; level < levels && at >= 0; ++level) {
        const char *made = (level == 0 ? first : name).c_str();
        const int below = ::mkdirat(at, made, 0755) == 0
                              ? ::openat(at, made, O_RDONLY | O_DIRECTORY | O_CLOEXEC)
                              : -1;
        ::close(at);
        at = below;
        const int file = at < 0 ? -1 : ::openat(at, "f", O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
        if (file < 0 || ::write(file, "c", 1) != 1 || ::close(file) != 0)
            return false;
    }
    return at >= 0 && ::close(at) == 0;
}

} // namespace

// 200 levels of 30-byte names (the first longer): about 6,200 bytes of path at the bottom. Past
// PATH_MAX an entry is left out without a visit, with all below it; no folder is held open while
// visit runs.
TEST(FolderWalk, DeepTreeIsWalkedToPathMaxWithNoFolderHeldOpen) {
    const TempFolder scratch;
    const std::string &folder = scratch.path(), name(30, 'n');
    // The first name's length puts one folder's full path at PATH_MAX - 1 bytes, the longest
    // that can be opened.
    const std::string first(30 + (PATH_MAX - 32 - folder.size()) % 31, 'f');
    if (!makeChain(folder, first, name, 200))
        GTEST_SKIP() << "this file system refuses a chain of 200 folders";
    std::set<std::string> expected, visited;
    std::string prefix;
    for (int level = 0; level < 200; ++level) {
        prefix += level == 0 ? first : name;
        for (const std::string &relative : {prefix, prefix + "/f"})
            if (folder.size() + 1 + relative.size() < PATH_MAX)
                expected.insert(relative);
        prefix += '/';
    }
    ASSERT_GT(expected.size(), 200u); // reached past 100 levels, stopped before 200
    ASSERT_LT(expected.size(), 400u);
    PosixSysCalls calls;
    const int baseline = openDescriptorCount();
    EXPECT_TRUE(walkFolder(calls, folder, [&](const std::string &relative) {
        EXPECT_TRUE(visited.insert(relative).second) << "visited twice: " << relative;
        EXPECT_EQ(openDescriptorCount(), baseline) << relative;
        return true;
    }));
    EXPECT_EQ(visited, expected);
    // The walk stops where its visitor says so.
    std::size_t visits = 0;
    EXPECT_TRUE(walkFolder(calls, folder, [&](const std::string &) { return ++visits < 2; }));
    EXPECT_EQ(visits, 2u);
}
