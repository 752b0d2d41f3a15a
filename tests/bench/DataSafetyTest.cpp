// The multi-file tests in a folder full of the user's own files: only the test's own names may
// change, and nothing may disappear.

#include "../support/FaultySysCalls.h"
#include "../support/FolderSnapshot.h"
#include "../support/RecordingLog.h"
#include "../support/TempFolder.h"

#include "bench/Bench.h"

#include <gtest/gtest.h>

#include <deque>
#include <fcntl.h>
#include <functional>
#include <sys/stat.h>
#include <unistd.h>

using namespace quorlan;
using namespace quorlan::testing;

namespace {

const std::vector<std::int64_t> smallSizes = {20000, 40000, 60000, 80000};

// A time long past, given to every user entry, so that any write (which stamps the present time)
// shows in the modification time even within one tick of the file system's clock.
constexpr timespec pastTime{981173106, 123456789};

// A file of size bytes that differ from each other and from every other seed's.
void writePattern(const std::string &path, std::size_t size, unsigned seed) {
    std::string bytes(size, '\0');
    for (std::size_t i = 0; i < size; ++i)
        bytes[i] = static_cast<char>((i * 31 + seed * 7 + i / 251) & 0xff);
    std::ofstream(path, std::ios::binary) << bytes;
}

void backdate(const std::string &path) {
    const timespec times[2] = {pastTime, pastTime};
    ::utimensat(AT_FDCWD, path.c_str(), times, AT_SYMLINK_NOFOLLOW);
}

// The folder outside that the user's links point into.
void fillOutsideFolder(const std::string &outside) {
    writePattern(outside + "/target.dat", 30000, 99);
    backdate(outside + "/target.dat");
}

// The user's own files: names close to the test's names in other places, a hidden file, a
// subfolder holding test-like names, links out of the folder, a read-only file, a name that is
// not UTF-8, an empty file and a named pipe (opening it for reading would block).
void fillUsersFolder(const std::string &folder, const std::string &outside) {
    std::filesystem::create_directories(folder + "/sub/deeper");
    const std::vector<std::pair<std::string, std::size_t>> files = {
        {"notes.txt", 57},       {"0.tiff.bak", 20000},       {"1-0.tiff ", 30000},
        {"1-0.TIFF", 25000},     {"3-0.tiff", 11000},         {"1-4.tiff", 12000},
        {"9.tiff", 13000},       {".hidden", 15000},          {".1-0.tiff", 16000},
        {"sub/0.tiff", 20000},   {"sub/1-0.tiff", 12000},     {"sub/deeper/2.tiff", 44000},
        {"readonly.dat", 40000}, {"caf\xe9 \xff.dat", 21000}, {"empty", 0}};
    unsigned seed = 1;
    for (const auto &[name, size] : files)
        writePattern(folder + "/" + name, size, seed++);
    ::chmod((folder + "/readonly.dat").c_str(), 0444);
    ::mkfifo((folder + "/pipe").c_str(), 0644);
    std::filesystem::create_symlink(outside + "/target.dat", folder + "/outside-link");
    std::filesystem::create_directory_symlink(outside, folder + "/outside-folder");
    std::filesystem::create_symlink(folder + "/nowhere", folder + "/dangling");
    for (const auto &[name, state] : snapshotFolder(folder))
        backdate(folder + "/" + name);
}

int measurementLines(const std::string &log, const std::string &kind) {
    int n = 0;
    const std::string start = "\n" + kind + ",";
    for (std::size_t at = log.find(start); at != std::string::npos; at = log.find(start, at + 1))
        ++n;
    return n;
}

std::set<std::string> numberedNames(const std::vector<std::string> &prefixes) {
    std::set<std::string> names;
    for (const std::string &prefix : prefixes) {
        for (std::size_t i = 0; i < smallSizes.size(); ++i)
            names.insert(prefix + std::to_string(i) + ".tiff");
    }
    return names;
}

class DataSafetyTest : public ::testing::Test {
protected:
    std::deque<TempFolder> scratch; // every folder the test made, removed when it ends
    RecordingLog log;
    FaultySysCalls calls;
    Bench bench{log, calls, smallSizes};
    PanelSettings panel;
    std::string folder;
    std::string outside;

    void SetUp() override {
        bench.readTimebase();
        bench.theSizes = bench.theStdSizes;
        bench.setRandomSizes(RandomSizes(3));
        panel.verbose = 1;
        panel.contentIndex = 3; // fill byte 0x41
    }

    // A fresh user's folder, and a fresh folder outside it for its links to point into.
    void makeUsersFolder() {
        folder = scratch.emplace_back().path();
        outside = scratch.emplace_back().path();
        ASSERT_FALSE(folder.empty());
        ASSERT_FALSE(outside.empty());
        fillOutsideFolder(outside);
        fillUsersFolder(folder, outside);
    }

    // Each name holds a whole test file: one of the sizes, every byte the fill byte.
    void expectTestFiles(const std::set<std::string> &names) {
        for (const std::string &name : names) {
            const std::string bytes = fileContents(folder + "/" + name);
            EXPECT_NE(std::find(smallSizes.begin(), smallSizes.end(),
                                static_cast<std::int64_t>(bytes.size())),
                      smallSizes.end())
                << name;
            EXPECT_EQ(bytes, std::string(bytes.size(), '\x41')) << name;
        }
    }
};

} // namespace

TEST_F(DataSafetyTest, EachMultiFileTestChangesOnlyItsOwnNames) {
    struct Run {
        const char *what;
        std::function<void(Bench &, PanelSettings &, const std::string &)> start;
        std::set<std::string> ownNames; // top-level names the test writes
    };
    const std::vector<Run> runs = {
        {"multi-write, 2 passes",
         [](Bench &b, PanelSettings &p, const std::string &f) {
             p.repeats = "2";
             b.performMultiWrite(f, p);
         },
         numberedNames({"1-", "2-"})},
        {"multi-read through the cache",
         [](Bench &b, PanelSettings &p, const std::string &f) { b.performMultiRead(f, p); },
         {}},
        {"multi-read bypassing the cache",
         [](Bench &b, PanelSettings &p, const std::string &f) {
             p.noCache = 1;
             p.repeats = "2";
             b.performMultiRead(f, p);
         },
         {}},
        {"mixed",
         [](Bench &b, PanelSettings &p, const std::string &f) {
             p.repeats = "2";
             b.performMixedTest(f, p);
         },
         numberedNames({""})},
    };
    for (const Run &run : runs) {
        SCOPED_TRACE(run.what);
        makeUsersFolder();
        PanelSettings runPanel = panel;
        const FolderSnapshot before = snapshotFolder(folder);
        const FolderSnapshot outsideBefore = snapshotFolder(outside);
        ASSERT_EQ(before.size(), 21u); // 15 files, 2 folders, a pipe and 3 links

        run.start(bench, runPanel, folder);

        EXPECT_FALSE(bench.lastRun.results.empty()) << log.text;
        const FolderSnapshot after = snapshotFolder(folder);
        EXPECT_EQ(changedNames(before, after), run.ownNames);
        for (const auto &[name, state] : before)
            EXPECT_TRUE(after.count(name)) << "gone: " << name;
        expectTestFiles(run.ownNames);
        EXPECT_EQ(snapshotFolder(outside), outsideBefore) << "a link was followed";
    }
}

TEST_F(DataSafetyTest, FilesBearingTheTestsNamesAreReplacedAndNothingElse) {
    // The user chose the folder: a file already there under one of the test's names is written
    // over like a fresh one. A folder under such a name cannot be written: that write fails,
    // leaves no result, and the folder and its contents stay as they were.
    makeUsersFolder();
    writePattern(folder + "/1-0.tiff", 50000, 40);
    std::filesystem::create_directory(folder + "/1-1.tiff");
    writePattern(folder + "/1-1.tiff/kept", 20000, 41);
    writePattern(folder + "/2.tiff", 90000, 42);
    for (const char *name : {"1-0.tiff", "1-1.tiff", "1-1.tiff/kept", "2.tiff"})
        backdate(folder + "/" + name);
    const FolderSnapshot before = snapshotFolder(folder);

    bench.performMultiWrite(folder, panel);
    FolderSnapshot after = snapshotFolder(folder);
    EXPECT_EQ(changedNames(before, after),
              (std::set<std::string>{"1-0.tiff", "1-2.tiff", "1-3.tiff"}));
    expectTestFiles({"1-0.tiff", "1-2.tiff", "1-3.tiff"});
    EXPECT_EQ(bench.theAnalyser->theWrites.size(), 3u);
    EXPECT_EQ(bench.lastRun.results.size(), 3u);
    EXPECT_EQ(measurementLines(log.text, "w"), 3) << log.text;
    EXPECT_TRUE(after.count("1-1.tiff/kept"));

    const FolderSnapshot beforeMixed = after;
    bench.theSizes = bench.theStdSizes;
    bench.performMixedTest(folder, panel);
    after = snapshotFolder(folder);
    EXPECT_EQ(changedNames(beforeMixed, after), numberedNames({""}));
    expectTestFiles(numberedNames({""}));
}

// A link under one of the test's names points at a file the user never offered: the write
// refuses the link, so that file and the link stay as they were, and the position has no result.
TEST_F(DataSafetyTest, ALinkBearingATestsNameIsNotWrittenThrough) {
    makeUsersFolder();
    std::filesystem::create_symlink(outside + "/target.dat", folder + "/1-0.tiff");
    std::filesystem::create_symlink(outside + "/target.dat", folder + "/0.tiff");
    const FolderSnapshot before = snapshotFolder(folder);
    const FolderSnapshot outsideBefore = snapshotFolder(outside);

    bench.performMultiWrite(folder, panel);
    EXPECT_EQ(snapshotFolder(outside), outsideBefore) << "the write followed the link out";
    EXPECT_EQ(changedNames(before, snapshotFolder(folder)),
              (std::set<std::string>{"1-1.tiff", "1-2.tiff", "1-3.tiff"}));
    EXPECT_EQ(bench.theAnalyser->theWrites.size(), 3u);
    EXPECT_EQ(measurementLines(log.text, "w"), 3) << log.text;

    bench.theSizes = bench.theStdSizes;
    bench.performMixedTest(folder, panel);
    EXPECT_EQ(snapshotFolder(outside), outsideBefore) << "the mixed write followed the link out";
}
