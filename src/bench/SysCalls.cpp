#include "bench/SysCalls.h"

#include <algorithm>
#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <string_view>
#include <time.h>
#include <unistd.h>

#if defined(__APPLE__)
#include <mach/mach_time.h>
#include <sys/mman.h>
#endif

namespace quorlan {

#if defined(__APPLE__)
namespace {

// macOS has no O_DIRECT. directReadFlag() is this bit, which no caller passes for anything else;
// open takes it off and sets F_NOCACHE on the new descriptor, so that descriptor's reads neither
// come from nor fill the unified buffer cache for pages it does not already hold.
constexpr int noCacheOpenBit = 0x10000000;

// Evicts the file's pages from the unified buffer cache: F_NOCACHE alone only stops new pages
// from being cached, so the file is mapped and its mapping invalidated. Dirty pages must have
// been written first (the caller fsyncs); an empty file has nothing to evict.
int evictCachedPages(int fd) {
    struct stat info {};
    if (::fstat(fd, &info) != 0)
        return -1;
    if (info.st_size <= 0)
        return 0;
    const auto length = static_cast<std::size_t>(info.st_size);
    void *pages = ::mmap(nullptr, length, PROT_READ, MAP_SHARED, fd, 0);
    if (pages == MAP_FAILED)
        return -1;
    const int result = ::msync(pages, length, MS_INVALIDATE);
    const int error = errno;
    ::munmap(pages, length);
    errno = error;
    return result;
}

} // namespace
#endif

int PosixSysCalls::open(const char *path, int flags, mode_t mode) {
#if defined(__APPLE__)
    if (flags & noCacheOpenBit) {
        const int fd = ::open(path, (flags & ~noCacheOpenBit) | O_CLOEXEC, mode);
        if (fd >= 0 && ::fcntl(fd, F_NOCACHE, 1) != 0) {
            ::close(fd);
            errno = EINVAL; // as Linux refuses O_DIRECT: the caller falls back to a plain read
            return -1;
        }
        return fd;
    }
#endif
    return ::open(path, flags | O_CLOEXEC, mode);
}
ssize_t PosixSysCalls::read(int fd, void *buffer, std::size_t count) {
    return ::read(fd, buffer, count);
}
ssize_t PosixSysCalls::write(int fd, const void *buffer, std::size_t count) {
    return ::write(fd, buffer, count);
}
off_t PosixSysCalls::lseek(int fd, off_t offset, int whence) {
    return ::lseek(fd, offset, whence);
}

int PosixSysCalls::fsync(int fd) {
#if defined(__APPLE__)
    // A plain fsync on macOS stops at the drive's cache; F_FULLFSYNC reaches the medium.
    if (::fcntl(fd, F_FULLFSYNC) == 0)
        return 0;
#endif
    return ::fsync(fd);
}

int PosixSysCalls::syncFileData(int fd) {
#if defined(__APPLE__)
    return ::fsync(fd);
#else
    return ::sync_file_range(
        fd, 0, 0, SYNC_FILE_RANGE_WAIT_BEFORE | SYNC_FILE_RANGE_WRITE | SYNC_FILE_RANGE_WAIT_AFTER);
#endif
}

int PosixSysCalls::close(int fd) {
    return ::close(fd);
}
int PosixSysCalls::fstat(int fd, struct stat *info) {
    return ::fstat(fd, info);
}
int PosixSysCalls::stat(const char *path, struct stat *info) {
    return ::stat(path, info);
}
int PosixSysCalls::lstat(const char *path, struct stat *info) {
    return ::lstat(path, info);
}
int PosixSysCalls::statfs(const char *path, struct statfs *info) {
    return ::statfs(path, info);
}

int PosixSysCalls::listFolder(const char *path, std::vector<FolderEntry> &entries) {
    DIR *folder = ::opendir(path);
    if (!folder)
        return -1;
    int failure = 0;
    for (;;) {
        errno = 0;
        const dirent *entry = ::readdir(folder);
        if (!entry) {
            failure = errno;
            break;
        }
        const std::string_view name = entry->d_name;
        if (name != "." && name != "..")
            entries.push_back({std::string(name), entry->d_type});
    }
    ::closedir(folder);
    errno = failure;
    return failure == 0 ? 0 : -1;
}

int PosixSysCalls::dropCache(int fd) {
#if defined(__APPLE__)
    return evictCachedPages(fd);
#else
    const int error = ::posix_fadvise(fd, 0, 0, POSIX_FADV_DONTNEED);
    if (error != 0) {
        errno = error;
        return -1;
    }
    return 0;
#endif
}

int PosixSysCalls::clearDirect(int fd) {
#if defined(O_DIRECT)
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags < 0)
        return -1;
    return ::fcntl(fd, F_SETFL, flags & ~O_DIRECT);
#elif defined(__APPLE__)
    return ::fcntl(fd, F_NOCACHE, 0);
#else
    (void)fd;
    return 0;
#endif
}

std::uint64_t PosixSysCalls::monotonicTicks() {
#if defined(__APPLE__)
    return mach_absolute_time();
#else
    timespec now{};
    ::clock_gettime(CLOCK_MONOTONIC_RAW, &now);
    return static_cast<std::uint64_t>(now.tv_sec) * 1000000000u +
           static_cast<std::uint64_t>(now.tv_nsec);
#endif
}

void PosixSysCalls::timebase(std::uint64_t &numerator, std::uint64_t &denominator) {
#if defined(__APPLE__)
    mach_timebase_info_data_t info{};
    mach_timebase_info(&info);
    numerator = info.numer;
    denominator = info.denom;
#else
    numerator = 1; // CLOCK_MONOTONIC_RAW already counts nanoseconds
    denominator = 1;
#endif
}

bool writeAll(SysCalls &calls, int fd, std::span<const std::uint8_t> bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const std::size_t count = std::min(bytes.size() - done, maxTransferBytes);
        const ssize_t written =
            retryInterrupted([&] { return calls.write(fd, bytes.data() + done, count); });
        if (written < 0)
            return false;
        if (written == 0) {
            errno = ENOSPC;
            return false;
        }
        done += static_cast<std::size_t>(written);
    }
    return true;
}

bool closeDescriptor(SysCalls &calls, int fd) {
    return calls.close(fd) == 0 || errno == EINTR;
}

SysCalls &systemCalls() {
    static PosixSysCalls calls;
    return calls;
}

int directReadFlag() {
#if defined(O_DIRECT)
    return O_DIRECT;
#elif defined(__APPLE__)
    return noCacheOpenBit;
#else
    return 0;
#endif
}

} // namespace quorlan
