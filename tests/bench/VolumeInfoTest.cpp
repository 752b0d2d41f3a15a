#include "../support/TempFolder.h"

#include "bench/VolumeInfo.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <set>
#include <string>
#include <vector>

#include <sys/statfs.h>

using namespace quorlan;
using namespace quorlan::testing;

namespace {

// statfs answers with a chosen magic number, for the paths not listed as missing; records what
// was asked.
class ScriptedVolume : public PosixSysCalls {
public:
    long magic = 0xEF53;
    int failErrno = 0; // every statfs fails with this errno
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
        return 0;
    }
};

bool isTmpfs(const std::string &path) {
    struct statfs info {};
    return ::statfs(path.c_str(), &info) == 0 &&
           static_cast<std::uint32_t>(info.f_type) == 0x01021994;
}

} // namespace

TEST(VolumeInfoTest, NamesAndKindsFromMagicNumbers) {
    ScriptedVolume calls;
    const struct {
        long magic;
        std::string type;
        FileSystemKind kind;
    } cases[] = {
        {0xEF53, "ext4", FileSystemKind::Disk},
        {0x58465342, "xfs", FileSystemKind::Disk},
        {0x01021994, "tmpfs", FileSystemKind::RamBacked},
        {0x858458F6, "ramfs", FileSystemKind::RamBacked},
        {0x6969, "nfs", FileSystemKind::Network},
        {0xFE534D42, "smb2", FileSystemKind::Network},
        {0x01021997, "9p", FileSystemKind::Network},
        {0x65735546, "fuse", FileSystemKind::Unknown},
        {0x794C7630, "overlay", FileSystemKind::Unknown},
        // CIFS's magic as a 32-bit signed word gives back sign-extended
        {static_cast<long>(static_cast<std::int32_t>(0xFF534D42u)), "cifs",
         FileSystemKind::Network},
        {0x12345678, "0x12345678", FileSystemKind::Unknown},
        {0, "0x0", FileSystemKind::Unknown},
    };
    for (const auto &each : cases) {
        calls.magic = each.magic;
        const FileSystemInfo info = fileSystemOf(calls, "/anywhere");
        EXPECT_EQ(info.type, each.type) << each.magic;
        EXPECT_EQ(info.kind, each.kind) << each.magic;
    }
}

TEST(VolumeInfoTest, AMissingPathIsAnsweredByItsParentFolderOnly) {
    ScriptedVolume calls;
    calls.missing = {"dir/new.tiff", "new.tiff",         "/new.tiff",
                     "a//b///",      "/x/gone/new.tiff", "/x/gone"};
    for (const char *path : {"dir/new.tiff", "new.tiff", "/new.tiff", "a//b///"})
        EXPECT_EQ(fileSystemOf(calls, path).type, "ext4") << path;
    EXPECT_EQ(calls.asked, (std::vector<std::string>{"dir/new.tiff", "dir", "new.tiff", ".",
                                                     "/new.tiff", "/", "a//b///", "a"}));

    // the grandparent is not asked: a folder that does not exist has no file system yet
    calls.asked.clear();
    const FileSystemInfo gone = fileSystemOf(calls, "/x/gone/new.tiff");
    EXPECT_EQ(gone.type, "");
    EXPECT_EQ(gone.kind, FileSystemKind::Unknown);
    EXPECT_EQ(calls.asked, (std::vector<std::string>{"/x/gone/new.tiff", "/x/gone"}));

    // any other failure is not retried on the parent; an empty path is not asked at all
    calls.asked.clear();
    calls.failErrno = EACCES;
    EXPECT_EQ(fileSystemOf(calls, "/locked/file").type, "");
    EXPECT_EQ(fileSystemOf(calls, "").type, "");
    EXPECT_EQ(fileSystemOf(calls, std::string("a\0b", 3)).type, "");
    EXPECT_EQ(calls.asked, std::vector<std::string>{"/locked/file"});
}

TEST(VolumeInfoTest, RealFileSystems) {
    PosixSysCalls calls;
    const TempFolder scratch;
    const std::string folder = scratch.path();
    ASSERT_FALSE(folder.empty());
    const FileSystemInfo temp = fileSystemOf(calls, folder);
    EXPECT_FALSE(temp.type.empty());
    EXPECT_EQ(fileSystemOf(calls, folder + "/not-yet.tiff").type, temp.type);

    if (!isTmpfs("/dev/shm"))
        GTEST_SKIP() << "/dev/shm is not tmpfs on this machine";
    const FileSystemInfo shm = fileSystemOf(calls, "/dev/shm/quorlan-not-written.tiff");
    EXPECT_EQ(shm.type, "tmpfs");
    EXPECT_EQ(shm.kind, FileSystemKind::RamBacked);
}

TEST(VolumeInfoTest, AllocatedBytesOfWrittenAndMissingFiles) {
    PosixSysCalls calls;
    const TempFolder scratch;
    const std::string folder = scratch.path();
    ASSERT_FALSE(folder.empty());
    writeFile(folder + "/full", 100000, 'q');
    const auto full = allocatedBytes(calls, folder + "/full");
    ASSERT_TRUE(full);
    EXPECT_GE(*full, 100000);
    EXPECT_EQ(*full % 512, 0);

    EXPECT_FALSE(allocatedBytes(calls, folder + "/missing"));
    EXPECT_FALSE(allocatedBytes(calls, ""));
}
