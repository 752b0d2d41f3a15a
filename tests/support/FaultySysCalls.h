#pragma once

#include "bench/SysCalls.h"

#include <cerrno>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace quorlan::testing {

// A scripted failure of one kind of call. Calls are named as in FaultySysCalls::calls ("open",
// "open-direct", "open-create", "read", "write", "fsync", "syncFileData", "close", "dropCache")
// or, for the calls that list leaves out, "lseek", "fstat" and "clearDirect". The call numbered
// first (1-based, counted per name, every attempt counted) fails, and then every every-th call
// after it (every = 0: only that one). A failing call does nothing and returns -1 with errno =
// error; error 0 makes a read or write move 0 bytes instead. A failing close still closes the
// descriptor, as Linux does.
struct Fault {
    std::string call;
    int first = 1;
    int every = 0;
    int error = EIO;
};

// Real system calls with faults on request, a scripted tick counter and a record of the calls.
class FaultySysCalls : public PosixSysCalls {
public:
    // open (as open, open-direct or open-create), read, write, fsync, syncFileData, close,
    // listFolder, dropCache and tick, in the order they were made.
    std::vector<std::string> calls;
    // How many times each call was made, by the names of Fault, listFolder included.
    std::map<std::string, int> callCounts;
    // The path of every open, in order, whether or not it succeeded.
    std::vector<std::string> openedPaths;
    // Closes of a descriptor that this object did not open or had already closed: a retried
    // close, which could hit a descriptor someone else has opened since.
    int strayCloses = 0;

    int eintrEverywhere = 0; // each call of every kind but listFolder first fails this many
                             // times with EINTR (a close after it has released the descriptor).
                             // A finite count: the call then goes on.
    std::vector<Fault> faults;
    std::size_t maxTransfer = 0; // > 0: reads and writes move at most this many bytes per call
    bool refuseDirect = false;   // open with O_DIRECT fails with EINVAL
    bool fakeWrites = false;     // writes succeed without touching the file or the buffer
    std::string refuseListing;   // listing a folder whose path ends with this fails with EACCES
    std::uint64_t tick = 1000;   // each tick reading advances it by 500

    int open(const char *path, int flags, mode_t mode) override;
    ssize_t read(int fd, void *buffer, std::size_t count) override;
    ssize_t write(int fd, const void *buffer, std::size_t count) override;
    int close(int fd) override;
    int listFolder(const char *path, std::vector<FolderEntry> &entries) override;
    off_t lseek(int fd, off_t offset, int whence) override {
        return fails("lseek", false) ? -1 : PosixSysCalls::lseek(fd, offset, whence);
    }
    int fsync(int fd) override { return fails("fsync") ? -1 : PosixSysCalls::fsync(fd); }
    int syncFileData(int fd) override {
        return fails("syncFileData") ? -1 : PosixSysCalls::syncFileData(fd);
    }
    int fstat(int fd, struct stat *info) override {
        return fails("fstat", false) ? -1 : PosixSysCalls::fstat(fd, info);
    }
    int dropCache(int fd) override {
        return fails("dropCache") ? -1 : PosixSysCalls::dropCache(fd);
    }
    int clearDirect(int fd) override {
        return fails("clearDirect", false) ? -1 : PosixSysCalls::clearDirect(fd);
    }
    std::uint64_t monotonicTicks() override {
        calls.push_back("tick");
        return tick += 500;
    }

private:
    // Counts a call (and lists it when listed); true when it must fail now, errno then set. A
    // scripted fault with error 0 sets *zeroTransfer instead, where the call moves bytes.
    bool fails(const std::string &name, bool listed = true, bool *zeroTransfer = nullptr);
    std::map<std::string, int> pendingEintr_;
    std::set<int> openDescriptors_;
};

} // namespace quorlan::testing
