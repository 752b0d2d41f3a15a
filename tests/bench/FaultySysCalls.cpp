#include "FaultySysCalls.h"

#include <algorithm>
#include <fcntl.h>
#include <unistd.h>

namespace quorlan::testing {

bool FaultySysCalls::interrupt(int &pending) {
    if (pending < eintrBeforeEach) {
        ++pending;
        errno = EINTR;
        return true;
    }
    pending = 0;
    return false;
}

int FaultySysCalls::open(const char *path, int flags, mode_t mode) {
    const bool direct = directReadFlag() != 0 && (flags & directReadFlag()) != 0;
    calls.push_back(direct ? "open-direct" : (flags & O_CREAT) ? "open-create" : "open");
    if (direct && refuseDirect) {
        errno = EINVAL;
        return -1;
    }
    return PosixSysCalls::open(path, flags, mode);
}

ssize_t FaultySysCalls::read(int fd, void *buffer, std::size_t count) {
    calls.push_back("read");
    if (interrupt(pendingRead_))
        return -1;
    if (failReadErrno != 0) {
        errno = failReadErrno;
        return -1;
    }
    return PosixSysCalls::read(fd, buffer, maxTransfer ? std::min(count, maxTransfer) : count);
}

ssize_t FaultySysCalls::write(int fd, const void *buffer, std::size_t count) {
    calls.push_back("write");
    if (interrupt(pendingWrite_))
        return -1;
    if (failWriteErrno != 0) {
        errno = failWriteErrno;
        return -1;
    }
    const std::size_t n = maxTransfer ? std::min(count, maxTransfer) : count;
    if (fakeWrites)
        return static_cast<ssize_t>(n);
    return PosixSysCalls::write(fd, buffer, n);
}

bool FaultySysCalls::injectSyncFault(const char *name) {
    calls.push_back(name);
    if (interrupt(pendingFsync_))
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

int FaultySysCalls::listFolder(const char *path, std::vector<FolderEntry> &entries) {
    calls.push_back("listFolder");
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
    calls.push_back("dropCache");
    if (failDropCacheErrno != 0) {
        errno = failDropCacheErrno;
        return -1;
    }
    return PosixSysCalls::dropCache(fd);
}

int FaultySysCalls::close(int fd) {
    calls.push_back("close");
    const int result = PosixSysCalls::close(fd);
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
