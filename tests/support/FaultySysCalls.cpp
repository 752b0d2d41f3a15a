#include "FaultySysCalls.h"

#include <algorithm>
#include <fcntl.h>

namespace quorlan::testing {

bool FaultySysCalls::fails(const std::string &name, bool listed, bool *zeroTransfer) {
    if (listed)
        calls.push_back(name);
    const int number = ++callCounts[name];
    int &pending = pendingEintr_[name];
    if (pending < eintrEverywhere) {
        ++pending;
        errno = EINTR;
        return true;
    }
    pending = 0;
    for (const Fault &fault : faults) {
        if (fault.call != name || number < fault.first ||
            (number > fault.first && (fault.every == 0 || (number - fault.first) % fault.every)))
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
    if (fails(direct ? "open-direct" : (flags & O_CREAT) ? "open-create" : "open"))
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
    if (fails("read", true, &zero))
        return -1;
    return zero ? 0
                : PosixSysCalls::read(fd, buffer,
                                      maxTransfer ? std::min(count, maxTransfer) : count);
}

ssize_t FaultySysCalls::write(int fd, const void *buffer, std::size_t count) {
    bool zero = false;
    if (fails("write", true, &zero))
        return -1;
    const std::size_t n = zero ? 0 : maxTransfer ? std::min(count, maxTransfer) : count;
    return (fakeWrites || zero) ? static_cast<ssize_t>(n) : PosixSysCalls::write(fd, buffer, n);
}

int FaultySysCalls::listFolder(const char *path, std::vector<FolderEntry> &entries) {
    calls.push_back("listFolder");
    ++callCounts["listFolder"];
    if (!refuseListing.empty() && std::string(path).ends_with(refuseListing)) {
        errno = EACCES;
        return -1;
    }
    return PosixSysCalls::listFolder(path, entries);
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
    return fails("close") ? -1 : result;
}

} // namespace quorlan::testing
