#include "FaultySysCalls.h"

#include <algorithm>
#include <fcntl.h>
#include <unistd.h>

namespace quorlan::testing {

namespace {

bool isTransferOrSync(const std::string &name) {
    return name == "read" || name == "write" || name == "fsync" || name == "syncFileData";
}

bool matches(const Fault &fault, const std::string &name, int number) {
    if (fault.call != name || number < fault.first)
        return false;
    if (number == fault.first)
        return true;
    return fault.every > 0 && (number - fault.first) % fault.every == 0;
}

} // namespace

bool FaultySysCalls::interrupt(const std::string &name) {
    const int times =
        eintrEverywhere > 0 ? eintrEverywhere : (isTransferOrSync(name) ? eintrBeforeEach : 0);
    int &pending = pendingEintr_[name];
    if (pending < times) {
        ++pending;
        errno = EINTR;
        return true;
    }
    pending = 0;
    return false;
}

bool FaultySysCalls::injectFault(const char *name, bool listed, bool *zeroTransfer) {
    if (listed)
        calls.push_back(name);
    const int number = ++callCounts[name];
    if (interrupt(name))
        return true;
    for (const Fault &fault : faults) {
        if (!matches(fault, name, number))
            continue;
        if (fault.error == 0 && zeroTransfer) {
            *zeroTransfer = true;
            return false;
        }
        errno = fault.error;
        return true;
    }
    return false;
}

int FaultySysCalls::open(const char *path, int flags, mode_t mode) {
    const bool direct = directReadFlag() != 0 && (flags & directReadFlag()) != 0;
    openedPaths.push_back(path);
    if (injectFault(direct ? "open-direct" : (flags & O_CREAT) ? "open-create" : "open", true))
        return -1;
    if (direct && refuseDirect) {
        errno = EINVAL;
        return -1;
    }
    const int fd = PosixSysCalls::open(path, flags, mode);
    if (fd >= 0)
        openDescriptors_.insert(fd);
    return fd;
}

ssize_t FaultySysCalls::read(int fd, void *buffer, std::size_t count) {
    bool zero = false;
    if (injectFault("read", true, &zero))
        return -1;
    if (zero)
        return 0;
    if (failReadErrno != 0) {
        errno = failReadErrno;
        return -1;
    }
    return PosixSysCalls::read(fd, buffer, maxTransfer ? std::min(count, maxTransfer) : count);
}

ssize_t FaultySysCalls::write(int fd, const void *buffer, std::size_t count) {
    bool zero = false;
    if (injectFault("write", true, &zero))
        return -1;
    if (zero)
        return 0;
    if (failWriteErrno != 0) {
        errno = failWriteErrno;
        return -1;
    }
    const std::size_t n = maxTransfer ? std::min(count, maxTransfer) : count;
    if (fakeWrites)
        return static_cast<ssize_t>(n);
    return PosixSysCalls::write(fd, buffer, n);
}

off_t FaultySysCalls::lseek(int fd, off_t offset, int whence) {
    return injectFault("lseek", false) ? -1 : PosixSysCalls::lseek(fd, offset, whence);
}

bool FaultySysCalls::injectSyncFault(const char *name) {
    if (injectFault(name, true))
        return true;
    if (failFsyncErrno != 0) {
        errno = failFsyncErrno;
        return true;
    }
    return false;
}

int FaultySysCalls::fsync(int fd) {
    return injectSyncFault("fsync") ? -1 : PosixSysCalls::fsync(fd);
}

int FaultySysCalls::syncFileData(int fd) {
    return injectSyncFault("syncFileData") ? -1 : PosixSysCalls::syncFileData(fd);
}

int FaultySysCalls::fstat(int fd, struct stat *info) {
    return injectFault("fstat", false) ? -1 : PosixSysCalls::fstat(fd, info);
}

int FaultySysCalls::stat(const char *path, struct stat *info) {
    return injectFault("stat", false) ? -1 : PosixSysCalls::stat(path, info);
}

int FaultySysCalls::lstat(const char *path, struct stat *info) {
    return injectFault("lstat", false) ? -1 : PosixSysCalls::lstat(path, info);
}

int FaultySysCalls::statfs(const char *path, struct statfs *info) {
    return injectFault("statfs", false) ? -1 : PosixSysCalls::statfs(path, info);
}

int FaultySysCalls::listFolder(const char *path, std::vector<FolderEntry> &entries) {
    calls.push_back("listFolder");
    ++callCounts["listFolder"];
    const std::string folder = path;
    if (!refuseListing.empty() && folder.size() >= refuseListing.size() &&
        folder.compare(folder.size() - refuseListing.size(), refuseListing.size(), refuseListing) ==
            0) {
        errno = EACCES;
        return -1;
    }
    return PosixSysCalls::listFolder(path, entries);
}

int FaultySysCalls::dropCache(int fd) {
    if (injectFault("dropCache", true))
        return -1;
    if (failDropCacheErrno != 0) {
        errno = failDropCacheErrno;
        return -1;
    }
    return PosixSysCalls::dropCache(fd);
}

int FaultySysCalls::clearDirect(int fd) {
    return injectFault("clearDirect", false) ? -1 : PosixSysCalls::clearDirect(fd);
}

int FaultySysCalls::close(int fd) {
    // A descriptor closed twice is never passed on: the number may belong to another file now.
    if (openDescriptors_.erase(fd) == 0) {
        calls.push_back("close");
        ++callCounts["close"];
        ++strayCloses;
        errno = EBADF;
        return -1;
    }
    const int result = PosixSysCalls::close(fd);
    // Every fault of close comes after the descriptor is released, as on Linux.
    if (injectFault("close", true))
        return -1;
    if (failCloseErrno != 0) {
        errno = failCloseErrno;
        return -1;
    }
    return result;
}

std::uint64_t FaultySysCalls::monotonicTicks() {
    calls.push_back("tick");
    tick += tickStep;
    return tick;
}

} // namespace quorlan::testing
