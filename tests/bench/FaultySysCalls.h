#pragma once

#include "bench/SysCalls.h"

#include <cerrno>
#include <functional>
#include <string>
#include <vector>

namespace quorlan::testing {

// Real system calls with faults on request, a scripted tick counter and a record of the calls.
class FaultySysCalls : public PosixSysCalls {
public:
    std::vector<std::string> calls;
    int eintrBeforeEach = 0;     // each read/write/fsync first fails this many times with EINTR
    std::size_t maxTransfer = 0; // > 0: reads and writes move at most this many bytes per call
    int failWriteErrno = 0;      // write fails with this errno
    int failReadErrno = 0;       // read fails with this errno
    int failFsyncErrno = 0;      // fsync fails with this errno
    int failCloseErrno = 0;      // close reports this errno (the descriptor is still closed)
    bool refuseDirect = false;   // open with O_DIRECT fails with EINVAL
    int failDropCacheErrno = 0;  // dropping a file's cached pages fails with this errno
    bool fakeWrites = false;     // writes succeed without touching the file or the buffer
    std::string refuseListing;   // listing a folder whose path ends with this fails with EACCES
    std::uint64_t tick = 1000;   // each tick reading advances by tickStep
    std::uint64_t tickStep = 500;

    int open(const char *path, int flags, mode_t mode) override;
    ssize_t read(int fd, void *buffer, std::size_t count) override;
    ssize_t write(int fd, const void *buffer, std::size_t count) override;
    int fsync(int fd) override;
    int syncFileData(int fd) override;
    int close(int fd) override;
    int listFolder(const char *path, std::vector<FolderEntry> &entries) override;
    int dropCache(int fd) override;
    std::uint64_t monotonicTicks() override;

private:
    bool interrupt(int &pending);
    // Records a sync call; true when it must fail (EINTR or the injected errno set).
    bool injectSyncFault(const char *name);
    int pendingRead_ = 0, pendingWrite_ = 0, pendingFsync_ = 0;
};

} // namespace quorlan::testing
