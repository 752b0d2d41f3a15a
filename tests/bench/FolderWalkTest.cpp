// The folder walk of the multi-file read test on trees that change while it runs, misbehave or
// are odd: removals and creations mid-walk, refused and interrupted listings, link loops, names
// that are not UTF-8, deep trees (past PATH_MAX), and many empty files.
#include "../support/RecordingLog.h"
#include "../support/TempFolder.h"

#include "bench/Bench.h"
#include "bench/FolderWalk.h"
#include "bench/SysCalls.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <dirent.h>
#include <fcntl.h>
#include <filesystem>
#include <functional>
#include <map>
#include <unistd.h>

using namespace quorlan;
using namespace quorlan::testing;
namespace fs = std::filesystem;

namespace {

// Real calls that list folders in name order (so "still to come" is known), can hide the
// listing's types (as file systems without d_type do), refuse or interrupt listings of chosen
// folders, run a hook before each lstat, and count the opens and listings per path.
class ChangingFolderCalls : public PosixSysCalls {
public:
    bool unknownTypes = false;
    // Path -> how many more listings of it fail, and with which errno. EINTR failures first
    // list the folder (the entries stay appended, as after an interrupted read).
    std::map<std::string, std::pair<int, int>> listingFaults;
    std::function<void(const std::string &)> beforeLstat;
    std::map<std::string, int> opens, listings;

    int open(const char *path, int flags, mode_t mode) override {
        ++opens[path];
        return PosixSysCalls::open(path, flags, mode);
    }
    int lstat(const char *path, struct stat *info) override {
        if (beforeLstat)
            beforeLstat(path);
        return PosixSysCalls::lstat(path, info);
    }
    int listFolder(const char *path, std::vector<FolderEntry> &entries) override {
        ++listings[path];
        const auto fault = listingFaults.find(path);
        if (fault != listingFaults.end() && fault->second.first > 0) {
            --fault->second.first;
            if (fault->second.second == EINTR)
                PosixSysCalls::listFolder(path, entries);
            errno = fault->second.second;
            return -1;
        }
        const std::size_t before = entries.size();
        const int result = PosixSysCalls::listFolder(path, entries);
        const auto added = entries.begin() + static_cast<std::ptrdiff_t>(before);
        std::sort(added, entries.end(),
                  [](const FolderEntry &a, const FolderEntry &b) { return a.name < b.name; });
        if (unknownTypes)
            for (auto entry = added; entry != entries.end(); ++entry)
                entry->type = DT_UNKNOWN;
        return result;
    }
};

std::vector<std::string> walked(SysCalls &calls, const std::string &folder,
                                bool *listed = nullptr) {
    std::vector<std::string> seen;
    const bool ok = walkFolder(calls, folder, [&](const std::string &relative) {
        seen.push_back(relative);
        return true;
    });
    if (listed)
        *listed = ok;
    return seen;
}

// The paths below folder that the last run recorded, in the order it read them.
std::vector<std::string> recordedPaths(const Bench &bench, const std::string &folder) {
    std::vector<std::string> paths;
    for (const RecordedResult &recorded : bench.lastRun.results)
        paths.push_back(recorded.path.substr(folder.size() + 1));
    return paths;
}

std::size_t count(const std::string &text, const std::string &what) {
    std::size_t n = 0;
    for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1))
        ++n;
    return n;
}

// The end of every run: report with its result count, then the test-path line, then the footer.
void expectRunEnd(const std::string &log, const std::string &folder, std::size_t results) {
    const std::size_t report = log.find("\nOverall = " + std::to_string(results) + "\n");
    const std::size_t path = log.find("\nTest path " + folder + "\n");
    const std::size_t footer = log.find("Quorlan version ");
    EXPECT_NE(report, std::string::npos) << log;
    EXPECT_NE(path, std::string::npos) << log;
    EXPECT_NE(footer, std::string::npos) << log;
    EXPECT_LT(report, path);
    EXPECT_LT(path, footer);
}

// Makes a chain of levels folders named name below top, with fileSize bytes in a file "f" in
// each of them, through descriptors, so the chain may go past PATH_MAX. bottomSize > 0 adds a
// file "big" at the bottom. False when the file system refuses.
bool makeChain(const std::string &top, const std::string &name, int levels, std::int64_t fileSize,
               std::int64_t bottomSize) {
    const std::string bytes(static_cast<std::size_t>(std::max(fileSize, bottomSize)), 'c');
    auto put = [&](int at, const char *file, std::int64_t size) {
        const int fd = ::openat(at, file, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
        if (fd < 0)
            return false;
        const bool ok = ::write(fd, bytes.data(), static_cast<std::size_t>(size)) == size;
        return ::close(fd) == 0 && ok;
    };
    int at = ::open(top.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    bool ok = at >= 0;
    for (int level = 0; level < levels && ok; ++level) {
        const int below = ::mkdirat(at, name.c_str(), 0755) == 0
                              ? ::openat(at, name.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)
                              : -1;
        ::close(at);
        at = below;
        ok = at >= 0 && put(at, "f", fileSize);
    }
    if (ok && bottomSize > 0)
        ok = put(at, "big", bottomSize);
    if (at >= 0)
        ::close(at);
    return ok;
}

} // namespace

class FolderWalkTest : public ::testing::Test {
protected:
    // The test's own scratch files: 20,000 inodes or a tree past PATH_MAX are not left behind.
    TempFolder scratch;
    std::string folder = scratch.path();
    RecordingLog log;
    ChangingFolderCalls calls;
    Bench bench{log, calls, {20000}};
    PanelSettings panel;

    void SetUp() override {
        ASSERT_FALSE(folder.empty());
        bench.readTimebase();
        panel.verbose = 1;
    }
};

TEST_F(FolderWalkTest, EntriesRemovedAndCreatedDuringTheReadAreSkippedOrRead) {
    for (const bool unknownTypes : {false, true}) {
        SCOPED_TRACE(unknownTypes ? "types unknown" : "types listed");
        const std::string top = folder + (unknownTypes ? "/unknown" : "/listed");
        fs::create_directories(top + "/c-sub");
        fs::create_directories(top + "/d-gone/inner");
        fs::create_directories(top + "/e-later");
        writeFile(top + "/0trigger", 10001);
        writeFile(top + "/a", 10002);
        writeFile(top + "/b", 10003);
        writeFile(top + "/c-sub/x", 10004);
        writeFile(top + "/c-sub/y", 10005);
        writeFile(top + "/d-gone/w", 10006);
        writeFile(top + "/d-gone/inner/v", 10007);
        writeFile(top + "/e-later/old", 10008);
        writeFile(top + "/z", 10009);
        calls.unknownTypes = unknownTypes;
        bool changed = false;
        calls.beforeLstat = [&](const std::string &path) {
            if (changed || !path.ends_with("/0trigger"))
                return;
            changed = true;
            fs::remove(top + "/a");          // same folder, still to come
            fs::remove(top + "/c-sub/x");    // a folder not yet listed
            fs::remove_all(top + "/d-gone"); // a whole folder not yet walked
            writeFile(top + "/e-later/new", 10010);
            fs::create_directory(top + "/e-later/made");
            writeFile(top + "/e-later/made/m", 10011);
            writeFile(top + "/late", 10012); // the top folder is already listed
        };
        log.text.clear();
        bench.performMultiRead(top, panel);
        ASSERT_TRUE(changed);
        const std::vector<std::string> read = {
            "0trigger", "b", "c-sub/y", "e-later/made/m", "e-later/new", "e-later/old", "z"};
        EXPECT_EQ(recordedPaths(bench, top), read);
        EXPECT_EQ(count(log.text, "\nr,"), read.size()) << log.text;
        for (const char *gone : {"/a", "/c-sub/x", "/d-gone/w", "/d-gone/inner/v", "/late"})
            EXPECT_EQ(calls.opens.count(top + gone), 0u) << gone;
        expectRunEnd(log.text, top, read.size());
    }
}

TEST_F(FolderWalkTest, InterruptedListingsAreRetriedAndRefusedOnesLeftOut) {
    fs::create_directories(folder + "/b-sub");
    fs::create_directories(folder + "/c-locked");
    writeFile(folder + "/a", 10001);
    writeFile(folder + "/b-sub/inner", 10002);
    writeFile(folder + "/c-locked/hidden", 10003);
    writeFile(folder + "/d", 10004);
    calls.listingFaults[folder] = {3, EINTR};
    calls.listingFaults[folder + "/b-sub"] = {2, EINTR};
    calls.listingFaults[folder + "/c-locked"] = {2, EACCES};
    bool listed = false;
    // Each interrupted try appended a whole listing: none of them may survive the retry.
    EXPECT_EQ(walked(calls, folder, &listed),
              (std::vector<std::string>{"a", "b-sub", "b-sub/inner", "c-locked", "d"}));
    EXPECT_TRUE(listed);
    EXPECT_EQ(calls.listings[folder], 4);
    EXPECT_EQ(calls.listings[folder + "/b-sub"], 3);
    EXPECT_EQ(calls.listings[folder + "/c-locked"], 1); // refused: not tried again

    // The same faults under the read test; an interruption followed by a refusal is a refusal.
    calls.listingFaults[folder] = {2, EINTR};
    calls.listingFaults[folder + "/b-sub"] = {1, EINTR};
    calls.listingFaults[folder + "/c-locked"] = {1, EACCES};
    bench.performMultiRead(folder, panel);
    EXPECT_EQ(recordedPaths(bench, folder), (std::vector<std::string>{"a", "b-sub/inner", "d"}));
    expectRunEnd(log.text, folder, 3);

    // The top folder refused: nothing visited, and the walk says so.
    calls.listingFaults[folder] = {1, EACCES};
    EXPECT_TRUE(walked(calls, folder, &listed).empty());
    EXPECT_FALSE(listed);
}

TEST_F(FolderWalkTest, LinkLoopsEndAndNoLinkIsRead) {
    fs::create_directories(folder + "/sub/deeper");
    writeFile(folder + "/sub/file", 10001);
    fs::create_directory_symlink("..", folder + "/sub/up");
    fs::create_directory_symlink("../..", folder + "/sub/deeper/back");
    fs::create_directory_symlink(folder, folder + "/top");
    fs::create_symlink("self", folder + "/self");
    fs::create_symlink("pong", folder + "/ping");
    fs::create_symlink("ping", folder + "/pong");
    const std::vector<std::string> links = {"sub/up", "sub/deeper/back", "top", "self", "ping",
                                            "pong"};
    for (const bool unknownTypes : {false, true}) {
        SCOPED_TRACE(unknownTypes ? "types unknown" : "types listed");
        calls.unknownTypes = unknownTypes;
        calls.opens.clear();
        EXPECT_EQ(walked(calls, folder),
                  (std::vector<std::string>{"ping", "pong", "self", "sub", "sub/deeper",
                                            "sub/deeper/back", "sub/file", "sub/up", "top"}));
        bench.performMultiRead(folder, panel);
        EXPECT_EQ(recordedPaths(bench, folder), std::vector<std::string>{"sub/file"});
        for (const std::string &link : links)
            EXPECT_EQ(calls.opens.count(folder + "/" + link), 0u) << link;
    }
}

TEST_F(FolderWalkTest, NamesThatAreNotUtf8AreReadByteForByte) {
    const std::string top = folder + "/top\xff\xfe";
    fs::create_directories(top + "/d\xc3\x28");
    writeFile(top + "/\xff\xfe.bin", 10013);
    writeFile(top + "/caf\xe9", 10014);
    writeFile(top + "/d\xc3\x28/\x80", 10015);
    writeFile(top + "/line\nbreak", 10016);
    bench.performMultiRead(top, panel);
    const std::vector<std::string> read = {"caf\xe9", "d\xc3\x28/\x80", "line\nbreak",
                                           "\xff\xfe.bin"};
    EXPECT_EQ(recordedPaths(bench, top), read);
    std::vector<std::int64_t> sizes;
    for (const RecordedResult &recorded : bench.lastRun.results)
        sizes.push_back(recorded.result.size);
    EXPECT_EQ(sizes, (std::vector<std::int64_t>{10014, 10015, 10016, 10013}));
    // Measurement lines hold no names; the path line holds the folder's bytes unchanged.
    for (const char *line : {"\nr,10013,", "\nr,10014,", "\nr,10015,", "\nr,10016,"})
        EXPECT_EQ(count(log.text, line), 1u) << line;
    expectRunEnd(log.text, top, read.size());
}

TEST_F(FolderWalkTest, DeepTreeIsWalkedWithNoFolderHeldOpen) {
    ASSERT_TRUE(makeChain(folder, "d", 200, 1, 10001));
    const int baseline = openDescriptorCount();
    int most = 0;
    std::size_t visits = 0, longest = 0;
    ASSERT_TRUE(walkFolder(calls, folder, [&](const std::string &relative) {
        ++visits;
        longest = std::max(longest, relative.size());
        most = std::max(most, openDescriptorCount());
        return true;
    }));
    EXPECT_EQ(visits, 401u); // 200 folders, 200 small files, the big one
    EXPECT_EQ(longest, 200u * 2 + 3);
    EXPECT_EQ(most, baseline);

    bench.performMultiRead(folder, panel);
    std::string bottom;
    for (int level = 0; level < 200; ++level)
        bottom += "d/";
    EXPECT_EQ(recordedPaths(bench, folder), std::vector<std::string>{bottom + "big"});
    expectRunEnd(log.text, folder, 1);
}

TEST_F(FolderWalkTest, PathsPastPathMaxAreLeftOutWithoutAVisit) {
    // 200 levels of 30-byte names: about 6,200 bytes of path at the bottom.
    const std::string name(30, 'n');
    if (!makeChain(folder, name, 200, 10001, 0))
        GTEST_SKIP() << "this file system refuses a chain of 200 folders";
    std::vector<std::string> expected, files;
    std::string prefix;
    for (int level = 0; level < 200; ++level) {
        prefix += name;
        for (const std::string &relative : {prefix, prefix + "/f"}) {
            if (folder.size() + 1 + relative.size() < PATH_MAX)
                expected.push_back(relative);
        }
        if (folder.size() + 1 + prefix.size() + 2 < PATH_MAX)
            files.push_back(prefix + "/f");
        prefix += '/';
    }
    ASSERT_GT(expected.size(), 200u); // reached past 100 levels, stopped before 200
    ASSERT_LT(expected.size(), 400u);
    std::vector<std::string> seen = walked(calls, folder);
    EXPECT_EQ(seen, expected);
    for (const auto &[path, times] : calls.listings)
        EXPECT_LT(path.size(), static_cast<std::size_t>(PATH_MAX));

    bench.performMultiRead(folder, panel);
    EXPECT_EQ(recordedPaths(bench, folder), files);
    for (const auto &[path, times] : calls.opens)
        EXPECT_LT(path.size(), static_cast<std::size_t>(PATH_MAX));
    expectRunEnd(log.text, folder, files.size());
}

TEST_F(FolderWalkTest, TwentyThousandEmptyFilesAreEachReadOnceAndNothingIsRecorded) {
    // The names are hard links to one empty file where the file system allows: the walk and the
    // read test go by name alone, and a new inode cost up to a millisecond on a busy disk here
    // (20 s for the tree) where a link costs microseconds.
    const std::string seed = folder + "/seed", tree = folder + "/tree";
    writeFile(seed, 0);
    ASSERT_EQ(::mkdir(tree.c_str(), 0755), 0);
    for (int sub = 0; sub < 20; ++sub) {
        const std::string below = tree + "/s" + std::to_string(sub);
        ASSERT_EQ(::mkdir(below.c_str(), 0755), 0);
        for (int file = 0; file < 1000; ++file) {
            const std::string path = below + "/" + std::to_string(file);
            if (::link(seed.c_str(), path.c_str()) != 0)
                writeFile(path, 0);
        }
    }
    std::map<std::string, int> visits;
    for (const std::string &relative : walked(calls, tree))
        ++visits[relative];
    EXPECT_EQ(visits.size(), 20020u);
    EXPECT_TRUE(std::all_of(visits.begin(), visits.end(), [](auto &v) { return v.second == 1; }));

    panel.verbose = 0;
    bench.performMultiRead(tree, panel);
    EXPECT_EQ(calls.opens.size(), 20020u); // the files and their folders
    EXPECT_TRUE(std::all_of(calls.opens.begin(), calls.opens.end(),
                            [](auto &open) { return open.second == 1; }));
    EXPECT_TRUE(bench.lastRun.results.empty());
    EXPECT_EQ(log.text.rfind("\nOverall = 0\n", 0), 0u) << log.text;
    expectRunEnd(log.text, tree, 0);
}
