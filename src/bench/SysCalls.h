#pragma once

#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include <sys/stat.h>
#include <sys/types.h>

#if defined(__APPLE__)
#include <sys/mount.h>
#else
#include <sys/statfs.h>
#endif

namespace quorlan {

// Makes call() again for as long as it fails with EINTR (-1 with errno EINTR: a signal arrived
// before the call did anything) and returns its first other result, errno intact. An interrupted
// call is transient, so the retries are not bounded, as with every libc caller that retries.
// Never for close: a close that reports EINTR has already released its descriptor on Linux.
template <typename Call> auto retryInterrupted(Call call) {
    for (;;) {
        const auto result = call();
        if (result != -1 || errno != EINTR)
            return result;
    }
}

// Linux moves at most this many bytes in one read or write call; a multiple of 4096, so it suits
// O_DIRECT too.
inline constexpr std::size_t maxTransferBytes = 0x7ffff000;

// One entry of a folder listing: its name (bytes as the file system holds them) and its type as
// the listing gives it (DT_DIR, DT_LNK, DT_REG, ..., or DT_UNKNOWN where the file system does not
// say).
struct FolderEntry {
    std::string name;
    unsigned char type;
};

// The thin layer through which every system call of the timed primitives passes, so tests can
// inject EINTR, short transfers and I/O errors. Each call mirrors its POSIX namesake: -1 with
// errno set on failure. Nothing here retries; the primitives do.
class SysCalls {
public:
    virtual ~SysCalls() = default;
    virtual int open(const char *path, int flags, mode_t mode) = 0;
    virtual ssize_t read(int fd, void *buffer, std::size_t count) = 0;
    virtual ssize_t write(int fd, const void *buffer, std::size_t count) = 0;
    virtual off_t lseek(int fd, off_t offset, int whence) = 0;
    virtual int fsync(int fd) = 0;
    // Writes the file's dirty data pages to the device and waits for them; no metadata (such as
    // the access time a read dirties) and no flush of the drive's own cache. This is the sync of a
    // read: sync_file_range on Linux, a plain fsync on macOS.
    virtual int syncFileData(int fd) = 0;
    virtual int close(int fd) = 0;
    virtual int fstat(int fd, struct stat *info) = 0;
    virtual int stat(const char *path, struct stat *info) = 0;
    virtual int lstat(const char *path, struct stat *info) = 0;
    // Describes the mounted file system that holds path (statfs(2), following symbolic links).
    virtual int statfs(const char *path, struct statfs *info) = 0;
    // Appends the folder's entries, "." and ".." left out, in the order the file system lists
    // them, and closes the folder before returning; 0, or -1 with errno when it cannot be opened
    // or read (entries listed before a read error are kept).
    virtual int listFolder(const char *path, std::vector<FolderEntry> &entries) = 0;
    // Drops the file's cached pages, which must be clean (posix_fadvise DONTNEED on Linux; on
    // macOS the file is mapped and the mapping invalidated with msync MS_INVALIDATE).
    virtual int dropCache(int fd) = 0;
    // Clears the cache-bypass flag of an open descriptor (O_DIRECT on Linux, F_NOCACHE on macOS).
    virtual int clearDirect(int fd) = 0;
    // The monotonic counter in ticks (nanoseconds on Linux).
    virtual std::uint64_t monotonicTicks() = 0;
    // The counter's timebase: nanoseconds per tick as numerator / denominator.
    virtual void timebase(std::uint64_t &numerator, std::uint64_t &denominator) = 0;
};

// The operating system's calls.
class PosixSysCalls : public SysCalls {
public:
    int open(const char *path, int flags, mode_t mode) override;
    ssize_t read(int fd, void *buffer, std::size_t count) override;
    ssize_t write(int fd, const void *buffer, std::size_t count) override;
    off_t lseek(int fd, off_t offset, int whence) override;
    int fsync(int fd) override;
    int syncFileData(int fd) override;
    int close(int fd) override;
    int fstat(int fd, struct stat *info) override;
    int stat(const char *path, struct stat *info) override;
    int lstat(const char *path, struct stat *info) override;
    int statfs(const char *path, struct statfs *info) override;
    int listFolder(const char *path, std::vector<FolderEntry> &entries) override;
    int dropCache(int fd) override;
    int clearDirect(int fd) override;
    std::uint64_t monotonicTicks() override;
    void timebase(std::uint64_t &numerator, std::uint64_t &denominator) override;
};

// Writes every byte of bytes to fd through calls, at most maxTransferBytes per call: EINTR is
// retried and a short count continued. True when all of it went out; otherwise false with errno
// set (ENOSPC when a write moved nothing: the volume takes nothing more).
bool writeAll(SysCalls &calls, int fd, std::span<const std::uint8_t> bytes);

// Closes fd through calls, once. True when the close succeeded or reported EINTR (Linux has
// released the descriptor then, so it is never retried); otherwise false with errno set.
bool closeDescriptor(SysCalls &calls, int fd);

// One process-wide instance of the real calls.
SysCalls &systemCalls();

// Extra open flags for a cache-bypassing read: O_DIRECT on Linux; on macOS a bit of our own that
// PosixSysCalls::open turns into F_NOCACHE on the new descriptor; 0 where there is neither.
int directReadFlag();

} // namespace quorlan
