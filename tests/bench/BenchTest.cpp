// The tests of the Bench, each run on a small scratch folder and compared with its snapshot in
// tests/fixtures/bench-runs/: the log (dates replaced), the run record, every progress report
// and write plan, the sizes the last pass chose, the result texts and the folder's files after
// the run (size and fill byte). QUORLAN_UPDATE_SNAPSHOTS=1 rewrites them.
#include "../support/FaultySysCalls.h"
#include "../support/FolderSnapshot.h"
#include "../support/GoldenMatch.h"
#include "../support/RecordingLog.h"
#include "../support/TempFolder.h"

#include "bench/Bench.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <dirent.h>
#include <filesystem>
#include <functional>
#include <map>
#include <regex>
#include <set>
#include <sstream>

using namespace quorlan;
using namespace quorlan::testing;
namespace fs = std::filesystem;

namespace {

const std::vector<std::int64_t> smallSizes = {20000, 40000, 60000, 80000};
constexpr std::int64_t noMemorySize = 9000000000000000000; // fits in 64 bits, in no memory

// Real calls that list folders in name order and count a regular file's blocks as its size
// rounded up to 512 bytes, so that walks and write plans are the same on every file system;
// O_DIRECT is refused, so that every uncached read meets the cache the same way.
class SameEverywhereCalls : public FaultySysCalls {
public:
    SameEverywhereCalls() { refuseDirect = true; }
    bool unknownTypes = false; // listings tell no types, as on file systems without d_type
    // Each folder's listing fails this often with EINTR first, its entries left appended.
    int listingInterruptions = 0;

    int listFolder(const char *path, std::vector<FolderEntry> &entries) override {
        const int result = FaultySysCalls::listFolder(path, entries);
        if (result == 0 && interrupted_[path]++ < listingInterruptions) {
            errno = EINTR;
            return -1;
        }
        std::sort(entries.begin(), entries.end(),
                  [](const FolderEntry &a, const FolderEntry &b) { return a.name < b.name; });
        for (FolderEntry &entry : entries)
            entry.type = unknownTypes ? static_cast<unsigned char>(DT_UNKNOWN) : entry.type;
        return result;
    }
    int stat(const char *path, struct stat *info) override {
        return apparentBlocks(FaultySysCalls::stat(path, info), info);
    }
    int lstat(const char *path, struct stat *info) override {
        return apparentBlocks(FaultySysCalls::lstat(path, info), info);
    }

private:
    std::map<std::string, int> interrupted_;
    static int apparentBlocks(int result, struct stat *info) {
        if (result == 0)
            info->st_blocks = S_ISREG(info->st_mode) ? (info->st_size + 511) / 512 : 0;
        return result;
    }
};

// What an entry of the folder is now: a file's size and the byte values it holds, a folder's
// slash, a link's target.
std::string entryText(const std::string &path) {
    struct stat info {};
    std::error_code ignored;
    if (::lstat(path.c_str(), &info) != 0)
        return " gone";
    if (!S_ISREG(info.st_mode))
        return S_ISDIR(info.st_mode) ? "/" : " -> " + fs::read_symlink(path, ignored).string();
    const std::string bytes = fileContents(path);
    std::ostringstream text;
    text << ' ' << bytes.size() << std::hex;
    for (const char byte : std::set<char>(bytes.begin(), bytes.end()))
        text << ' ' << (static_cast<int>(byte) & 0xff);
    return text.str();
}

const char *const cacheModeNames[] = {"none", "cached", "direct", "pages dropped", "not bypassed"};

// A Bench on a fresh folder, with every progress report and plan written down; it cancels the
// run when file cancelAtFile is about to start.
struct Rig : ProgressSink {
    explicit Rig(std::vector<std::int64_t> stored) : bench(log, calls, std::move(stored)) {
        fs::create_directory(folder);
        bench.readTimebase();
        bench.setRandomSizes(RandomSizes(42, 100000));
        bench.setProgressSink(this);
        bench.setCancelToken(&token);
    }
    TempFolder scratch;
    std::string folder = scratch.path() + "/t";
    RecordingLog log;
    SameEverywhereCalls calls;
    Bench bench;
    CancelToken token;
    std::int64_t cancelAtFile = 0;
    std::function<void(const Progress &)> onFile;
    std::ostringstream events;
    FolderSnapshot before; // the scratch folder as the run found it

    std::string at(const std::string &name) const { return folder + "/" + name; }
    void fileStarted(const Progress &p) override {
        events << "file " << p.pass << '/' << p.passes << ' ' << p.file << '/' << p.files << ' '
               << p.path << ' ' << p.bytes << ", " << p.bytesBefore << " of " << p.passBytes
               << (p.writePhase ? " writing\n" : "\n");
        if (onFile)
            onFile(p);
        if (p.file == cancelAtFile)
            token.cancel();
    }
    void writesPlanned(const WritePlan &plan) override {
        events << "plan " << plan.path << ' ' << plan.bytes << ", replacing " << plan.replaced
               << ", pass " << plan.pass << '\n';
    }
    // The log (dates replaced), the record, the progress and plans, the sizes the last pass
    // chose, the result texts and every entry of the scratch folder the run changed.
    std::string dump() {
        std::ostringstream out;
        static const std::regex date(R"(\d{4}-\d\d-\d\d \d\d:\d\d:\d\d \+0000)");
        const RunRecord &run = bench.lastRun;
        out << std::regex_replace(log.text, date, "{date}") << "-- record " << run.command
            << (run.cancelled ? ", cancelled" : "") << ", failed " << run.failedOperations
            << ", opens " << calls.openedPaths.size() << ", panel " << run.panel.filesize << ' '
            << run.panel.noCache << '\n';
        for (const RecordedResult &r : run.results)
            out << measurementLineKind(r.result.type) << ' ' << r.result.size << ' ' << r.path
                << ' ' << cacheModeNames[static_cast<int>(r.cache)] << ' ' << r.result.time * 1e9
                << " ns " << r.result.rate << '\n';
        out << "-- progress\n" << events.str() << "-- sizes";
        if (bench.theSizes.size() > 16)
            out << ": " << bench.theSizes.size();
        else
            for (std::int64_t size : bench.theSizes)
                out << ' ' << size;
        out << "\n-- result texts " << bench.writeResultText() << ", " << bench.readResultText()
            << "\n-- changed\n";
        for (const std::string &name : changedNames(before, snapshotFolder(scratch.path())))
            out << name << entryText(scratch.path() + "/" + name) << '\n';
        return std::regex_replace(out.str(), std::regex(escapeRegex(folder)), "{folder}");
    }
};

// A test of the Bench: the single tests act on the file one.tiff, the others on the folder.
using Test = void (Bench::*)(const std::string &, const PanelSettings &);
constexpr Test write = &Bench::runWriteTest, read = &Bench::runReadTest;
constexpr Test multiWrite = &Bench::performMultiWrite, multiRead = &Bench::performMultiRead;
constexpr Test mixed = &Bench::performMixedTest;

struct Scenario {
    const char *name; // the snapshot is bench-runs/NAME.txt
    Test test;
    PanelSettings panel;
    // Made first, in order: a file of the size given, or a folder for -1.
    std::vector<std::pair<std::string, std::int64_t>> files;
    std::vector<Fault> faults;
    std::vector<std::int64_t> sizes; // the stored sizes and the mixed test's list
    std::int64_t cancelAtFile;
    void (*setup)(Rig &); // anything else the run needs first, or nullptr
};

using Files = std::vector<std::pair<std::string, std::int64_t>>;

Scenario row(const char *name, Test test, PanelSettings panel, Files files = {},
             std::vector<Fault> faults = {}, void (*setup)(Rig &) = nullptr,
             std::vector<std::int64_t> sizes = smallSizes, std::int64_t cancelAtFile = 0) {
    return {
        name,         test, std::move(panel), std::move(files), std::move(faults), std::move(sizes),
        cancelAtFile, setup};
}

// A row's name stands for it in test names.
void PrintTo(const Scenario &scenario, std::ostream *out) {
    *out << scenario.name;
}

void start(Rig &r, const Scenario &s) {
    for (const auto &[name, size] : s.files) {
        if (size < 0)
            fs::create_directories(r.at(name));
        else
            writeFile(r.at(name), size);
    }
    r.calls.faults = s.faults;
    r.cancelAtFile = s.cancelAtFile;
    r.bench.theSizes = s.sizes;
    if (s.setup)
        s.setup(r);
    r.before = snapshotFolder(r.scratch.path());
    (r.bench.*s.test)(s.test == write || s.test == read ? r.at("one.tiff") : r.folder, s.panel);
}

const Files fourFiles = {{"a", 20000}, {"b", 40000}, {"c", 60000}, {"d", 80000}};
// Only names a write phase writes count as replaced: pass and position in range, no leading
// zero, the exact extension.
const Files likeTestFiles = {{"1-0.tiff", 50000}, {"2-3.tiff", 50000},  {"3-0.tiff", 50000},
                             {"1-4.tiff", 50000}, {"01-1.tiff", 50000}, {"0.tiff", 50000},
                             {"3.tiff", 50000},   {"4.tiff", 50000},    {"x-1.tiff", 50000},
                             {"1-1.tif", 50000}};

// Every call is interrupted twice before it goes through.
void interruptEveryCall(Rig &r) {
    r.calls.eintrEverywhere = 2;
}

// Transfers are cut to 16384 bytes a call, so the faults above can fill the volume mid-file.
void cutTransfers(Rig &r) {
    r.calls.maxTransfer = 16384;
}

// Files of 10000 bytes and more are recorded; links, pipes and folders never are.
const Files filteredTree = {{"small", 9999},
                            {"exact", 10000},
                            {".hidden", 20000},
                            {"sub/deeper", -1},
                            {"sub/deeper/inner", 30000}};

void addLinksAndAPipe(Rig &r) {
    fs::create_symlink(r.at("exact"), r.at("link"));
    fs::create_directory_symlink(r.folder, r.at("sub/loop"));
    ::mkfifo(r.at("pipe").c_str(), 0644);
}

// A subfolder that cannot be listed is read as a folder and left out; a name that is not
// UTF-8 is read byte for byte; a file gone between the listing and its read is skipped.
const Files unreadableTree = {{"locked", -1},
                              {"locked/inside", 40000},
                              {"kept", 20000},
                              {"odd\xff\xfe name", 30000},
                              {"gone", 50000}};

void lockAndRemove(Rig &r) {
    r.calls.refuseListing = "/locked";
    r.onFile = [](const Progress &p) {
        if (p.path.ends_with("/gone"))
            fs::remove(p.path);
    };
}

// A tree that changes while it is read: when 0trigger is about to be read (the top folder is
// listed), a file still to come, a file of a folder not yet listed and a whole folder not yet
// walked go; files and a folder appear in a folder not yet listed and in the top folder. Its
// links, one a loop, are never followed.
const Files changingTree = {{"c-sub", -1},          {"d-gone/inner", -1},
                            {"e-later", -1},        {"0trigger", 10001},
                            {"a", 10002},           {"b", 10003},
                            {"c-sub/x", 10004},     {"c-sub/y", 10005},
                            {"d-gone/w", 10006},    {"d-gone/inner/v", 10007},
                            {"e-later/old", 10008}, {"z", 10009}};

void changeTheTree(Rig &r) {
    fs::create_directory_symlink(r.folder, r.at("c-sub/loop"));
    fs::create_symlink(r.at("b"), r.at("link"));
    r.onFile = [&r](const Progress &p) {
        if (!p.path.ends_with("/0trigger"))
            return;
        fs::remove(r.at("a"));
        fs::remove(r.at("c-sub/x"));
        fs::remove_all(r.at("d-gone"));
        fs::create_directory(r.at("e-later/made"));
        writeFile(r.at("e-later/made/m"), 10010);
        writeFile(r.at("late"), 10011);
    };
}

// The user's own files: names close to the test's names, a hidden file, a subfolder holding
// test-like names, a read-only file, a name that is not UTF-8, an empty file and a named pipe
// (opening it for reading would block); links out of the folder, two of them under the test's
// names; a folder under a test's name (its write fails) and a file under one (replaced). Every
// file holds bytes "x".
const Files usersFiles = {
    {"sub/deeper", -1},          {"1-1.tiff", -1},         {"notes.txt", 11000},
    {"0.tiff.bak", 12000},       {"1-0.tiff ", 13000},     {"1-0.TIFF", 14000},
    {"3-0.tiff", 15000},         {"1-4.tiff", 16000},      {"empty", 0},
    {".hidden", 18000},          {".1-0.tiff", 19000},     {"sub/0.tiff", 20000},
    {"sub/1-0.tiff", 21000},     {"2.tiff", 25000},        {"sub/deeper/2.tiff", 22000},
    {"caf\xe9 \xff.dat", 23000}, {"1-1.tiff/kept", 24000}, {"readonly.dat", 26000}};

void addUsersLinksAndPipe(Rig &r) {
    const std::string outside = r.scratch.path() + "/outside";
    fs::create_directories(outside);
    writeFile(outside + "/target.dat", 30000, 'o');
    ::chmod(r.at("readonly.dat").c_str(), 0444);
    ::mkfifo(r.at("pipe").c_str(), 0644);
    for (const char *link : {"outside-link", "1-0.tiff", "0.tiff"})
        fs::create_symlink(outside + "/target.dat", r.at(link));
    fs::create_directory_symlink(outside, r.at("outside-folder"));
    fs::create_symlink(r.at("nowhere"), r.at("dangling"));
}

const std::vector<std::int64_t> withNoMemory = {20000, noMemorySize, 40000};

const std::vector<Scenario> scenarios = {
    // The single tests: one line between the header and the path; failures logged and counted.
    row("WriteLogsItsLineAndWritesTheFillByte", write, {.filesize = "40", .contentIndex = 1}),
    row("WriteOfSizeZeroIsMeasured", write, {.filesize = "0"}),
    row("WriteThatFailsIsLoggedAndCounted", write, {}, {{"one.tiff", -1}}),
    row("WriteRefusesASizeThatIsNoWholeNumberOfBytes", write, {.filesize = "-5"}),
    row("WriteWhoseBufferCannotBeHadWritesNothing", write, {.filesize = "9000000000000000"}),
    row("WriteWithoutATimebaseLogsNoLine", write, {}, {}, {},
        [](Rig &r) { r.bench.timebase = Timebase{}; }),
    row("WritePlanOfASingleWrite", write, {}, {{"one.tiff", 50000}}),
    row("ReadThroughTheCache", read, {}, {{"one.tiff", 50000}}),
    row("ReadAroundTheCache", read, {.noCache = 1}, {{"one.tiff", 50000}}),
    row("ReadAroundTheCacheWhosePagesStayIsNotBypassed", read, {.noCache = 1},
        {{"one.tiff", 50000}}, {{"dropCache"}}),
    row("ReadOfAnEmptyFileAroundTheCacheIsNoFailure", read, {.noCache = 1}, {{"one.tiff", 0}}),
    row("ReadOfAFolderReadsNoBytes", read, {}, {{"one.tiff", -1}}),
    row("ReadOfAMissingFileLogsNoLine", read, {}),
    row("ReadThatFailsIsLoggedAndCounted", read, {}, {{"one.tiff", 1000}}, {{"read", 1, 0, EIO}}),
    row("InterruptedStatOfASingleReadIsMadeAgain", read, {}, {{"one.tiff", 50000}}, {},
        interruptEveryCall),

    // Multi-write: not verbose, the report, the path line and the footer only; the last pass's
    // list stays in the sizes.
    row("MultiWritePassesNameTheirFiles", multiWrite, {.contentIndex = 2, .repeats = "3"}),
    row("RepeatsBelowOneMakeOnePass", multiWrite, {.repeats = "-3"}),
    row("RandomPassWithAnEmptyLengthWritesFiveFiles", multiWrite,
        {.length = "", .verbose = 1, .isRandom = 1}),
    // A length beyond what could be written is cut, with a line that says so, before memory
    // fills with sizes; at the limit itself nothing is said.
    row("AHugeRandomLengthIsCutToTheMostAPassDraws", multiWrite, {.length = "1e12", .isRandom = 1},
        {}, {}, nullptr, smallSizes, 2),
    row("ARandomLengthAtTheLimitIsNotCut", multiWrite, {.length = "1000000", .isRandom = 1}, {}, {},
        nullptr, smallSizes, 2),
    row("CancelBeforeTheSecondFileEndsTheRun", multiWrite, {.repeats = "3"}, {}, {}, nullptr,
        smallSizes, 1),
    row("WritesThatFailMidwayAreNotRecorded", multiWrite, {.verbose = 1}, {},
        {{"write", 2, 2, EIO}}),
    row("AFileTooLargeForMemoryIsLoggedAndTheRunGoesOn", multiWrite, {.verbose = 1}, {}, {},
        nullptr, withNoMemory),
    // Interrupted listings of the folder count no replaced file twice.
    row("WritePlanCountsTheFilesItReplaces", multiWrite, {.repeats = "2"}, likeTestFiles, {},
        [](Rig &r) { r.calls.listingInterruptions = 2; }),
    row("RandomPassesArePlannedOneByOne", multiWrite,
        {.repeats = "2", .length = "3", .isRandom = 1}, likeTestFiles),
    row("WithoutAnAnalyserEveryResultIsRecorded", multiWrite, {.verbose = 1}, {}, {},
        [](Rig &r) { r.bench.theAnalyser.reset(); }),
    row("ResultsTheAnalyserDropsAreNotRecorded", multiWrite, {}, {}, {},
        [](Rig &r) { r.bench.theAnalyser->minSize = 50000; }),

    // Multi-read.
    row("FolderReadFiltersSmallFilesLinksAndFolders", multiRead,
        {.repeats = "2", .noCache = 1, .verbose = 1}, filteredTree, {}, addLinksAndAPipe),
    row("FolderReadSkipsWhatItCannotListOrFind", multiRead, {.verbose = 1}, unreadableTree, {},
        lockAndRemove),
    // Each folder is listed once, whole, just before its contents are walked: what was listed is
    // visited (the read finds it gone), what a folder holds when it is listed is read.
    row("FolderReadOfATreeThatChangesUnderIt", multiRead, {.verbose = 1}, changingTree, {},
        changeTheTree),
    row("FolderReadOfATreeThatChangesUnderItWithoutTypes", multiRead, {.verbose = 1}, changingTree,
        {},
        [](Rig &r) {
            r.calls.unknownTypes = true;
            changeTheTree(r);
        }),
    // Each interrupted listing appended what it read: none of it may be walked twice.
    row("FolderReadListsAgainWholeWhenInterrupted", multiRead, {.verbose = 1},
        {{"a", 20000}, {"sub", -1}, {"sub/b", 40000}}, {},
        [](Rig &r) { r.calls.listingInterruptions = 3; }),
    row("FolderReadOfAFolderThatCannotBeListed", multiRead, {}, fourFiles, {},
        [](Rig &r) { r.calls.refuseListing = "/t"; }),
    row("FolderReadRepeatsBelowOneReadOnce", multiRead, {.repeats = "0"}, fourFiles),
    row("FolderReadFailuresAreNotRecorded", multiRead, {.verbose = 1}, fourFiles,
        {{"read", 2, 2, EIO}}), // one read a file: b and d fail
    row("FolderReadCancelledBeforeItsSecondFile", multiRead, {.repeats = "2"}, fourFiles, {},
        nullptr, smallSizes, 2),
    row("InterruptedCallsOfAnUncachedFolderReadAreMadeAgain", multiRead,
        {.noCache = 1, .verbose = 1}, fourFiles, {}, interruptEveryCall),

    // Mixed: the stored order written, then the passes read what each position holds.
    row("MixedWritesTheStoredOrderAndReadsEveryPass", mixed, {.repeats = "2"}, {}, {}, nullptr,
        {60000, 20000, 80000, 40000}),
    row("MixedRandomLengthSetsHowManyPositionsAreRead", mixed,
        {.length = "2", .verbose = 1, .isRandom = 1}),
    row("MixedSkipsPositionsWithNoFile", mixed, {.length = "5", .noCache = 1, .isRandom = 1}, {},
        {}, nullptr, {20000, 30000}),
    row("MixedRandomLengthBelowOneReadsOnePosition", mixed, {.length = "0", .isRandom = 1}, {}, {},
        nullptr, {20000, 40000}),
    row("MixedReadPassesCutAHugeRandomLength", mixed,
        {.length = "9223372036854775807", .isRandom = 1}, {}, {}, nullptr, {20000}, 2),
    row("MixedFileOfSizeZeroLeavesNoTrace", mixed, {.verbose = 1}, {}, {}, nullptr, {0, 20000}),
    // Position 1 is a folder: its write fails, and its reads find 0 bytes, not recorded.
    row("MixedPositionWhoseWriteFailedRecordsNothing", mixed, {.repeats = "2", .verbose = 1},
        {{"1.tiff", -1}}, {}, nullptr, {20000, 30000, 40000}),
    row("MixedRecordsWhatSucceededInEachHalf", mixed, {.verbose = 1}, {},
        {{"write", 2, 2, EIO}, {"read", 2, 2, EIO}}),
    // The volume fills in the second file: a file cut short is read at its actual size.
    row("MixedOnAFullVolumeReadsWhatEachPositionHolds", mixed,
        {.repeats = "2", .noCache = 1, .verbose = 1}, {}, {{"write", 6, 1, ENOSPC}}, cutTransfers,
        {40000, 60000, 20000, 80000}),
    row("WritePlanOfTheMixedWrites", mixed, {}, likeTestFiles),
    row("InterruptedCallsOfAMixedTestAreMadeAgain", mixed, {.verbose = 1}, {}, {},
        interruptEveryCall),

    // In the user's folder each test changes only the files of its own names, writes through no
    // link, and reads no link, pipe or folder.
    row("UsersFolderMultiWrite", multiWrite, {.contentIndex = 3, .repeats = "2"}, usersFiles, {},
        addUsersLinksAndPipe),
    row("UsersFolderMultiRead", multiRead, {.repeats = "2"}, usersFiles, {}, addUsersLinksAndPipe),
    row("UsersFolderMixed", mixed, {.contentIndex = 3, .repeats = "2"}, usersFiles, {},
        addUsersLinksAndPipe),
};

class BenchRun : public ::testing::TestWithParam<Scenario> {};

TEST_P(BenchRun, MatchesItsSnapshotAndKeepsNoDescriptor) {
    const int descriptors = openDescriptorCount();
    Rig rig(GetParam().sizes);
    start(rig, GetParam());
    EXPECT_EQ(openDescriptorCount(), descriptors);
    EXPECT_EQ(rig.calls.strayCloses, 0);
    EXPECT_EQ(rig.bench.lastRun.start, rig.bench.startDate);
    EXPECT_EQ(rig.bench.lastRun.end, rig.bench.endDate);
    EXPECT_TRUE(matchesSnapshot(rig.dump(), std::string("bench-runs/") + GetParam().name + ".txt"));
}

INSTANTIATE_TEST_SUITE_P(Bench, BenchRun, ::testing::ValuesIn(scenarios),
                         [](const auto &info) { return std::string(info.param.name); });

} // namespace

// Over 200 shuffles a list of n sizes comes out in each of its n! orders, and only in those.
TEST(RandomSizes, ShufflesEveryListOfTwoOrMoreIntoEveryOrder) {
    const std::vector<std::pair<std::vector<std::int64_t>, std::size_t>> lists = {
        {{7}, 1}, {{1, 2}, 2}, {{1, 2, 3}, 6}, {smallSizes, 24}};
    for (const auto &[list, orderCount] : lists) {
        SCOPED_TRACE(list.size());
        std::set<std::vector<std::int64_t>> orders;
        RandomSizes random(5);
        for (int i = 0; i < 200; ++i) {
            std::vector<std::int64_t> shuffled = list;
            random.shuffleSizes(shuffled);
            orders.insert(shuffled);
        }
        EXPECT_EQ(orders.size(), orderCount);
        for (std::vector<std::int64_t> order : orders) {
            std::sort(order.begin(), order.end());
            EXPECT_EQ(order, list);
        }
    }
}

TEST(RandomSizes, DrawsFromTheClosedRange) {
    RandomSizes narrow(9, 20001);
    std::set<std::int64_t> drawn;
    for (int i = 0; i < 100; ++i)
        drawn.insert(narrow.randomSize());
    EXPECT_EQ(drawn, (std::set<std::int64_t>{20000, 20001}));
}
