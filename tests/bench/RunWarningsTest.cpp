#include "../support/TempFolder.h"

#include "bench/RunWarnings.h"
#include "bench/VolumeInfo.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdint>
#include <string>
#include <vector>

#include <fcntl.h>
#include <sys/statfs.h>
#include <unistd.h>

using namespace quorlan;
using namespace quorlan::testing;

namespace {

using Texts = std::vector<std::string>;

// Real stat calls; statfs answers with a chosen magic number, or fails.
class ScriptedVolume : public PosixSysCalls {
public:
    long magic = 0xEF53; // ext4
    int failErrno = 0;

    int statfs(const char *, struct statfs *info) override {
        if (failErrno != 0) {
            errno = failErrno;
            return -1;
        }
        *info = {};
        info->f_type = static_cast<decltype(info->f_type)>(magic);
        return 0;
    }
};

RecordedResult recorded(ResultKind type, std::int64_t size, double rate, std::string path,
                        CacheMode cache = CacheMode::None) {
    return {Result{type, size, static_cast<double>(size) / rate, rate}, std::move(path), cache};
}

RecordedResult write(std::int64_t size, double rate, std::string path) {
    return recorded(ResultKind::Write, size, rate, std::move(path));
}

RecordedResult uncachedRead(std::int64_t size, double rate, std::string path,
                            CacheMode cache = CacheMode::Direct) {
    return recorded(ResultKind::UncachedRead, size, rate, std::move(path), cache);
}

// A file of size bytes of which nothing was written; false when it could not be made.
bool makeSparse(const std::string &path, off_t size) {
    const int fd = ::open(path.c_str(), O_CREAT | O_WRONLY | O_TRUNC, 0644);
    if (fd < 0)
        return false;
    const bool made = ::ftruncate(fd, size) == 0;
    return ::close(fd) == 0 && made;
}

// A file of size bytes that no file system compresses (a pseudo-random sequence), synced so its
// blocks are allocated.
bool makeIncompressible(const std::string &path, std::size_t size) {
    std::string bytes(size, '\0');
    std::uint64_t state = 88172645463325252u;
    for (char &byte : bytes) {
        state ^= state << 13;
        state ^= state >> 7;
        state ^= state << 17;
        byte = static_cast<char>(state >> 56);
    }
    const int fd = ::open(path.c_str(), O_CREAT | O_WRONLY | O_TRUNC, 0644);
    if (fd < 0)
        return false;
    const bool made =
        ::write(fd, bytes.data(), size) == static_cast<ssize_t>(size) && ::fsync(fd) == 0;
    return ::close(fd) == 0 && made;
}

const std::string shortRunOf9999999 =
    "Every file of this run is under 10 MB (the largest 9999999 bytes): "
    "rates of transfers this short mean little.";

} // namespace

class RunWarningsTest : public ::testing::Test {
protected:
    TempFolder scratch;
    std::string folder = scratch.path();
    ScriptedVolume calls;
    RunRecord run;

    void SetUp() override {
        ASSERT_FALSE(folder.empty());
        run.command = "mixed";
        run.path = folder;
    }
    // Makes path a sparse file of size bytes, or skips the test where the volume keeps none.
    void sparseOrSkip(const std::string &path, off_t size) {
        ASSERT_TRUE(makeSparse(path, size));
        const auto allocated = allocatedBytes(calls, path);
        if (!allocated || *allocated != 0)
            GTEST_SKIP() << "the temporary folder's file system allocates blocks for sparse files";
    }
};

TEST_F(RunWarningsTest, RamBackedFolderWarnsAndAnOrdinaryDiskStaysQuiet) {
    PosixSysCalls real;
    const std::string ram = "The test path is on tmpfs, a file system held in memory: read and "
                            "write rates measure memory, not a disk.";
    const FileSystemInfo temp = fileSystemOf(real, folder);
    if (temp.kind == FileSystemKind::RamBacked || temp.kind == FileSystemKind::Network)
        GTEST_SKIP() << "the temporary folder is on " << temp.type << ", not a disk";
    ASSERT_TRUE(makeIncompressible(folder + "/full.tiff", 2000000));
    run.results = {write(2000000, 1e8, folder + "/full.tiff"),
                   write(10000000, 1e8, folder + "/gone")};
    EXPECT_EQ(runWarnings(run, real), Texts{});

    struct statfs shm {};
    if (::statfs("/dev/shm", &shm) != 0 || static_cast<std::uint32_t>(shm.f_type) != 0x01021994)
        GTEST_SKIP() << "/dev/shm is not tmpfs on this machine";
    run.results.clear();
    run.path = "/dev/shm";
    EXPECT_EQ(runWarnings(run, real), Texts{ram});
    run.command = "write"; // a file that the test has not created yet: its folder counts
    run.path = "/dev/shm/quorlan-not-written.tiff";
    EXPECT_EQ(runWarnings(run, real), Texts{ram});
    run.command.clear(); // nothing run yet
    EXPECT_EQ(runWarnings(run, real), Texts{});
}

TEST_F(RunWarningsTest, NetworkFolderAndFailedStatfs) {
    calls.magic = 0x6969;
    EXPECT_EQ(runWarnings(run, calls), Texts{"The test path is on nfs, a network file system: the "
                                             "rates include the network and the server."});
    calls.failErrno = EIO;
    EXPECT_EQ(runWarnings(run, calls), Texts{});
    EXPECT_EQ(fileSystemOf(calls, folder).type, "");
    EXPECT_EQ(fileSystemOf(calls, folder).kind, FileSystemKind::Unknown);
}

TEST_F(RunWarningsTest, ReadsThatCouldNotBypassTheCache) {
    const std::string path = folder + "/f";
    run.results = {write(20000000, 1e8, path), uncachedRead(20000000, 1e8, path, CacheMode::Direct),
                   uncachedRead(20000000, 1e8, path, CacheMode::PagesDropped)};
    EXPECT_EQ(runWarnings(run, calls), Texts{});
    // a read that failed to bypass is not also counted as suspiciously fast
    run.results.push_back(uncachedRead(20000000, 1e11, path, CacheMode::NotBypassed));
    EXPECT_EQ(runWarnings(run, calls),
              Texts{"1 uncached read could not bypass the cache: its rate includes the cache."});
    run.results.push_back(uncachedRead(20000000, 1e8, path, CacheMode::NotBypassed));
    EXPECT_EQ(runWarnings(run, calls),
              Texts{"2 uncached reads could not bypass the cache: their rates include the cache."});
}

TEST_F(RunWarningsTest, SparseFilesOfAtLeastOneMegabyteWarnWithTheFillByte) {
    sparseOrSkip(folder + "/a.tiff", 4000000);
    ASSERT_TRUE(makeSparse(folder + "/small.tiff", 999999));
    ASSERT_TRUE(makeIncompressible(folder + "/full.tiff", 2000000));
    run.panel.contentIndex = 1;
    run.results = {write(4000000, 1e8, folder + "/a.tiff"),
                   write(999999, 1e8, folder + "/small.tiff"),
                   write(2000000, 1e8, folder + "/full.tiff"),
                   write(30000000, 1e8, folder + "/vanished.tiff")};
    EXPECT_EQ(runWarnings(run, calls),
              Texts{"1 written file occupies less than half its size on the volume (0 bytes for "
                    "4.00 MB): the file system compresses or deduplicates it, and the fill byte "
                    "0x88 compresses to almost nothing, so the rates overstate the disk."});

    // a path written twice counts once, with its last size
    sparseOrSkip(folder + "/b.tiff", 3000000);
    run.panel.contentIndex = 0;
    run.results.push_back(write(1000000, 1e8, folder + "/b.tiff"));
    run.results.push_back(write(3000000, 1e8, folder + "/b.tiff"));
    EXPECT_EQ(runWarnings(run, calls),
              Texts{"2 written files occupy less than half their size on the volume (0 bytes for "
                    "7.00 MB): the file system compresses or deduplicates them, and the fill byte "
                    "0x00 compresses to almost nothing, so the rates overstate the disk."});
}

TEST_F(RunWarningsTest, UncachedReadMuchFasterThanTheWriteOfTheSameFile) {
    const std::string a = folder + "/a", b = folder + "/b";
    const std::string once =
        "1 uncached read ran 11.0 times faster than the write of the same file "
        "in this run (1.10 GB/s against 100.00 MB/s): it was likely served "
        "from a cache.";
    run.results = {write(20000000, 1e8, a), uncachedRead(20000000, 1.1e9, a)};
    EXPECT_EQ(runWarnings(run, calls), Texts{once});

    const std::vector<std::vector<RecordedResult>> quiet = {
        {write(20000000, 1e8, a), uncachedRead(20000000, 9e8, a)},
        {write(20000000, 1e8, a), uncachedRead(20000000, 1e9, a)}, // exactly 10 times
        {write(20000000, 1e8, a), recorded(ResultKind::Read, 20000000, 1e10, a, CacheMode::Cached)},
        {write(20000000, 1e8, a), uncachedRead(20000000, 1.1e9, b)},
        {uncachedRead(20000000, 1.1e9, a), write(20000000, 1e8, a)}, // read before the write
        {write(20000000, 0.0, a), uncachedRead(20000000, 1.1e9, a)},
    };
    for (std::size_t i = 0; i < quiet.size(); ++i) {
        run.results = quiet[i];
        EXPECT_EQ(runWarnings(run, calls), Texts{}) << i;
    }

    // compared with the latest earlier write of the path; several reads report the largest ratio
    run.results = {write(20000000, 1e9, a),
                   write(20000000, 1e8, a),
                   uncachedRead(20000000, 1.1e9, a),
                   write(20000000, 1e8, b),
                   uncachedRead(20000000, 2e9, b),
                   uncachedRead(20000000, 1.5e9, a, CacheMode::PagesDropped)};
    EXPECT_EQ(runWarnings(run, calls),
              Texts{"3 uncached reads ran more than 10 times faster than the write of the same "
                    "file in this run (at most 20.0 times: 2.00 GB/s against 100.00 MB/s): they "
                    "were likely served from a cache."});
}

TEST_F(RunWarningsTest, RunsOfSmallFilesOnly) {
    run.results = {write(9999999, 1e8, folder + "/a"), uncachedRead(5, 1e8, folder + "/a")};
    EXPECT_EQ(runWarnings(run, calls), Texts{shortRunOf9999999});
    run.results.push_back(
        recorded(ResultKind::Read, 10000000, 1e8, folder + "/b", CacheMode::Cached));
    EXPECT_EQ(runWarnings(run, calls), Texts{});
    run.results = {recorded(ResultKind::Read, 1, 1e8, folder + "/one", CacheMode::Cached)};
    EXPECT_EQ(runWarnings(run, calls),
              Texts{"Every file of this run is under 10 MB (the largest 1 byte): rates of "
                    "transfers this short mean little."});
    run.results.clear();
    EXPECT_EQ(runWarnings(run, calls), Texts{});
}

TEST_F(RunWarningsTest, SeveralWarningsComeInTheirFixedOrder) {
    const std::string path = folder + "/a.tiff";
    sparseOrSkip(path, 9999999);
    calls.magic = 0x01021997; // 9p
    run.results = {write(9999999, 1e8, path),
                   uncachedRead(9999999, 1e8, path, CacheMode::NotBypassed),
                   uncachedRead(9999999, 2e9, path), uncachedRead(9999999, 1e8, path)};
    EXPECT_EQ(runWarnings(run, calls),
              (Texts{"The test path is on 9p, a network file system: the rates include the "
                     "network and the server.",
                     "1 uncached read could not bypass the cache: its rate includes the cache.",
                     "1 written file occupies less than half its size on the volume (0 bytes for "
                     "10.00 MB): the file system compresses or deduplicates it, and the fill byte "
                     "0x00 compresses to almost nothing, so the rates overstate the disk.",
                     "1 uncached read ran 20.0 times faster than the write of the same file in "
                     "this run (2.00 GB/s against 100.00 MB/s): it was likely served from a cache.",
                     shortRunOf9999999}));
}
