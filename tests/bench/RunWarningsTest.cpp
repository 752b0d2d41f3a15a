#include "../support/GoldenMatch.h"
#include "../support/TempFolder.h"

#include "bench/RunWarnings.h"
#include "bench/VolumeInfo.h"

#include <gtest/gtest.h>

#include <linux/magic.h>

#include <cerrno>
#include <filesystem>
#include <limits>
#include <set>

#include <sys/statfs.h>

using namespace quorlan;
using namespace quorlan::testing;

namespace {

// Real stat calls; statfs answers with a chosen magic number for every path not listed as
// missing, or fails with failErrno, and records what was asked.
class ScriptedVolume : public PosixSysCalls {
public:
    long magic = 0xEF53; // ext4
    int failErrno = 0;
    std::uint64_t blocks = 1, availableBlocks = 0;
    std::set<std::string> missing;
    std::vector<std::string> asked;

    int statfs(const char *path, struct statfs *info) override {
        asked.emplace_back(path);
        if (failErrno != 0 || missing.count(path) != 0) {
            errno = failErrno != 0 ? failErrno : ENOENT;
            return -1;
        }
        *info = {};
        info->f_type = static_cast<decltype(info->f_type)>(magic);
        info->f_blocks = blocks;
        info->f_bavail = availableBlocks;
        info->f_frsize = 4096;
        return 0;
    }
};

RecordedResult result(ResultKind type, std::int64_t size, double rate, std::string path,
                      CacheMode cache = CacheMode::Direct) {
    return {Result{type, size, static_cast<double>(size) / rate, rate}, std::move(path), cache};
}

RecordedResult write(std::int64_t size, double rate, std::string path) {
    return result(ResultKind::Write, size, rate, std::move(path), CacheMode::None);
}

RecordedResult uncached(std::int64_t size, double rate, std::string path,
                        CacheMode cache = CacheMode::Direct) {
    return result(ResultKind::UncachedRead, size, rate, std::move(path), cache);
}

// A file of size bytes of which nothing was written.
void makeSparse(const std::string &path, std::int64_t size) {
    writeFile(path, 0);
    std::filesystem::resize_file(path, static_cast<std::uintmax_t>(size));
}

class RunWarningsTest : public ::testing::Test {
protected:
    TempFolder scratch;
    std::string folder = scratch.path();
    ScriptedVolume calls;
    RunRecord run;
    std::string trace; // each case's label and its warnings, one a line

    void SetUp() override {
        run.command = "mixed";
        run.path = folder;
    }
    void expectWarnings(const std::string &label, std::vector<RecordedResult> results) {
        run.results = std::move(results);
        trace += label + ":\n";
        for (const std::string &warning : runWarnings(run, calls))
            trace += "  " + warning + "\n";
    }
};

} // namespace

// The warnings of each case against a snapshot: the file system's, cache bypass, fast uncached
// reads (compared with the latest earlier write of the path; none at exactly 10 times) and runs
// of small files only.
TEST_F(RunWarningsTest, WarningsOfRunsOnScriptedVolumes) {
    const std::string a = folder + "/a", b = folder + "/b";
    expectWarnings("ext4, nothing measured", {});
    calls.magic = 0x6969;
    expectWarnings("nfs", {});
    calls.magic = 0x01021994;
    expectWarnings("tmpfs", {});
    run.command.clear();
    expectWarnings("tmpfs, nothing run yet", {});
    run.command = "write";
    calls.failErrno = EIO;
    expectWarnings("statfs fails", {});
    calls.failErrno = 0;
    calls.magic = 0xEF53;
    expectWarnings("bypassed", {write(2e7, 1e8, a), uncached(2e7, 1e8, a),
                                uncached(2e7, 1e8, a, CacheMode::PagesDropped)});
    expectWarnings("one not bypassed, not also fast",
                   {write(2e7, 1e8, a), uncached(2e7, 1e11, a, CacheMode::NotBypassed)});
    expectWarnings("two not bypassed", {uncached(2e7, 1e8, a, CacheMode::NotBypassed),
                                        uncached(2e7, 1e8, b, CacheMode::NotBypassed)});
    expectWarnings("11 times faster", {write(2e7, 1e8, a), uncached(2e7, 1.1e9, a)});
    expectWarnings("exactly 10 times", {write(2e7, 1e8, a), uncached(2e7, 1e9, a)});
    expectWarnings("a cached read",
                   {write(2e7, 1e8, a), result(ResultKind::Read, 2e7, 1e10, a, CacheMode::Cached)});
    expectWarnings("another file", {write(2e7, 1e8, a), uncached(2e7, 1.1e9, b)});
    expectWarnings("read before the write", {uncached(2e7, 1.1e9, a), write(2e7, 1e8, a)});
    expectWarnings("write without a rate", {write(2e7, 0.0, a), uncached(2e7, 1.1e9, a)});
    expectWarnings("several fast reads",
                   {write(2e7, 1e9, a), write(2e7, 1e8, a), uncached(2e7, 1.1e9, a),
                    write(2e7, 1e8, b), uncached(2e7, 2e9, b),
                    uncached(2e7, 1.5e9, a, CacheMode::PagesDropped)});
    expectWarnings("small files", {write(9999999, 1e8, a), uncached(5, 1e8, a)});
    expectWarnings("one of 10 MB", {write(9999999, 1e8, a), write(10000000, 1e8, b)});
    expectWarnings("one byte", {result(ResultKind::Read, 1, 1e8, a, CacheMode::Cached)});
    EXPECT_TRUE(matchesSnapshot(trace, "run-warnings.txt"));
}

// Written files of at least 1,000,000 bytes that occupy less than half their size (sparse here),
// each path once with its last size, named with the fill byte; all warnings in their fixed order.
TEST_F(RunWarningsTest, SparseFilesAndTheOrderOfAllWarnings) {
    const std::string a = folder + "/a.tiff", b = folder + "/b.tiff", c = folder + "/c.tiff";
    makeSparse(a, 4000000);
    makeSparse(b, 3000000);
    makeSparse(c, 9999999);
    makeSparse(folder + "/small.tiff", 999999);
    writeFile(folder + "/full.tiff", 2000000);
    if (allocatedBytes(calls, a) != 0)
        GTEST_SKIP() << "the temporary folder's file system allocates blocks for sparse files";
    run.panel.contentIndex = 1;
    expectWarnings("one sparse", {write(4e6, 1e8, a), write(999999, 1e8, folder + "/small.tiff"),
                                  write(2e6, 1e8, folder + "/full.tiff"),
                                  write(3e7, 1e8, folder + "/vanished.tiff")});
    run.panel.contentIndex = 0;
    expectWarnings("a path written twice",
                   {write(4e6, 1e8, a), write(1e6, 1e8, b), write(3e6, 1e8, b)});
    calls.magic = 0x01021997; // 9p
    expectWarnings("all",
                   {write(9999999, 1e8, c), uncached(9999999, 1e8, c, CacheMode::NotBypassed),
                    uncached(9999999, 2e9, c), uncached(9999999, 1e8, c)});
    calls.magic = 0x858458F6; // ramfs
    expectWarnings("ram-backed comes first", {write(9999999, 1e8, c)});
    EXPECT_TRUE(matchesSnapshot(trace, "run-warnings-sparse.txt"));
}

// Names and kinds by magic number, against a snapshot. CIFS's magic as a 32-bit signed word
// comes back sign-extended; unknown numbers are named in hex.
TEST(VolumeInfo, NamesAndKindsFromMagicNumbers) {
    const char *const kinds[] = {"unknown", "disk", "RAM-backed", "network"};
    ScriptedVolume calls;
    std::string names;
    for (const long magic :
         {0xEF53L, 0x58465342L, 0x01021994L, 0x858458F6L, 0x6969L, 0xFE534D42L, 0x65735546L,
          static_cast<long>(static_cast<std::int32_t>(0xFF534D42u)), 0x12345678L, 0L}) {
        calls.magic = magic;
        const FileSystemInfo info = fileSystemOf(calls, "/anywhere");
        names += info.type + " " + kinds[static_cast<int>(info.kind)] + "\n";
    }
    EXPECT_TRUE(matchesSnapshot(names, "file-system-names.txt"));
}

// Every magic number the kernel's header gives for a file system we name is named so; ntfs3's is
// not in it (fs/ntfs3/super.c sets "ntfs" in ASCII).
TEST(VolumeInfo, TheKernelsMagicNumbersNameTheirFileSystems) {
    const struct {
        long magic;
        const char *name;
    } kernel[] = {
        // clang-format off
        {EXT4_SUPER_MAGIC, "ext4"}, {XFS_SUPER_MAGIC, "xfs"}, {BTRFS_SUPER_MAGIC, "btrfs"},
        {OCFS2_SUPER_MAGIC, "ocfs2"}, {ECRYPTFS_SUPER_MAGIC, "ecryptfs"}, {TMPFS_MAGIC, "tmpfs"},
        {RAMFS_MAGIC, "ramfs"}, {HUGETLBFS_MAGIC, "hugetlbfs"}, {NFS_SUPER_MAGIC, "nfs"},
        {SMB_SUPER_MAGIC, "smb"}, {SMB2_SUPER_MAGIC, "smb2"}, {V9FS_MAGIC, "9p"},
        {CEPH_SUPER_MAGIC, "ceph"}, {AFS_SUPER_MAGIC, "afs"}, {AFS_FS_MAGIC, "afs"},
        {NCP_SUPER_MAGIC, "ncp"}, {CODA_SUPER_MAGIC, "coda"}, {FUSE_SUPER_MAGIC, "fuse"},
        {OVERLAYFS_SUPER_MAGIC, "overlay"}, {F2FS_SUPER_MAGIC, "f2fs"},
        {REISERFS_SUPER_MAGIC, "reiserfs"}, {NILFS_SUPER_MAGIC, "nilfs2"},
        {MSDOS_SUPER_MAGIC, "vfat"}, {EXFAT_SUPER_MAGIC, "exfat"}, {UDF_SUPER_MAGIC, "udf"},
        {ISOFS_SUPER_MAGIC, "iso9660"}, {SQUASHFS_MAGIC, "squashfs"},
        {EROFS_SUPER_MAGIC_V1, "erofs"}, {0x7366746E, "ntfs3"},
        // clang-format on
    };
    ScriptedVolume calls;
    for (const auto &entry : kernel) {
        SCOPED_TRACE(entry.name);
        calls.magic = entry.magic;
        EXPECT_EQ(fileSystemOf(calls, "/anywhere").type, entry.name);
    }
}

// A missing path is answered by its parent folder, never the grandparent; any other failure is
// not retried; an empty path or one with a zero byte is not asked at all.
TEST(VolumeInfo, AMissingPathIsAnsweredByItsParentFolderOnly) {
    ScriptedVolume calls;
    calls.missing = {"dir/new.tiff", "new.tiff", "/new.tiff",        "a//b///",
                     "c/",           "c",        "/x/gone/new.tiff", "/x/gone"};
    for (const char *path : {"dir/new.tiff", "new.tiff", "/new.tiff", "a//b///", "c/"})
        EXPECT_EQ(fileSystemOf(calls, path).type, "ext4") << path;
    EXPECT_EQ(fileSystemOf(calls, "/x/gone/new.tiff").kind, FileSystemKind::Unknown);
    calls.failErrno = EACCES;
    for (const std::string &path :
         {std::string("/locked/file"), std::string(), std::string("a\0b", 3)})
        EXPECT_EQ(fileSystemOf(calls, path).type, "");
    EXPECT_EQ(calls.asked, (std::vector<std::string>{
                               "dir/new.tiff", "dir", "new.tiff", ".", "/new.tiff", "/", "a//b///",
                               "a", "c/", ".", "/x/gone/new.tiff", "/x/gone", "/locked/file"}));
}

// Free bytes are the available blocks times the fragment size, the largest count where that
// product would not fit, nothing for a file system that counts no blocks or cannot be asked.
TEST(VolumeInfo, FreeBytesOfScriptedVolumes) {
    constexpr std::int64_t largest = std::numeric_limits<std::int64_t>::max();
    const struct {
        std::uint64_t blocks, available;
        std::optional<std::int64_t> free;
    } cases[] = {
        {1, 10, 40960},
        {1, largest / 4096, largest / 4096 * 4096},
        {1, largest / 4096 + 1, largest},
        {0, 10, std::nullopt},
    };
    ScriptedVolume calls;
    for (const auto &c : cases) {
        calls.blocks = c.blocks;
        calls.availableBlocks = c.available;
        EXPECT_EQ(freeBytes(calls, "/anywhere"), c.free) << c.available;
    }
    calls.failErrno = EIO;
    EXPECT_EQ(freeBytes(calls, "/anywhere"), std::nullopt);
}
