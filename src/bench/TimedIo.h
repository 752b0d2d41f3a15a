#pragma once

#include "bench/CacheMode.h"
#include "bench/TestBuffer.h"

#include <cstdint>
#include <span>
#include <string>
#include <sys/types.h>

namespace quorlan {

class SysCalls;
struct Timebase;

// Files larger than this (decimal bytes) are written with timedWholeWrite, others with timedWrite.
inline constexpr std::int64_t largeWriteThreshold = 2000000000;

// The time a primitive returns when a step failed.
inline constexpr double failedTime = -1.0;

// The timed file primitives. Each opens and closes its own file and returns seconds: failedTime
// when a step failed, 0.0 when there is no valid interval (timebase not set, short read, empty
// uncached read, failed whole write). Every call but close is made again when it is interrupted
// (EINTR); a close that reports EINTR counts as done, since the descriptor is gone either way. A
// failed step never leaves a descriptor open.
//
// Memory and the timed interval. No memory is obtained, and no page of it brought in, between
// the start tick and the end tick:
// - Every buffer is a TestBuffer (private memory, 2 MiB-aligned, advised for huge pages, the same
//   policy at every size) and every byte of it was written when it was made, before the call.
// - Right before the start tick, every page of the part of the buffer the call uses is touched
//   again (a volatile access per 4 KiB), so a page the system took back in the meantime returns
//   outside the interval. The memory is not locked with mlock (an ordinary user may lock only a
//   few MiB); a direct read pins the destination's pages in the kernel for the transfer, inside
//   the interval, as every O_DIRECT read does.
// - The source of a write is the caller's; the multi-file tests keep one for the whole run.
// - Reads go into this object's own buffer, kept from call to call and grown when a file needs
//   more: the whole length rounded up to 4096 bytes, at most the 2 GiB-less-a-page a single call
//   moves. When that memory cannot be had the buffer is halved, and halved again, down to
//   minReadBufferSize, and the file is read in more calls: the read is still measured, with a
//   little more call overhead inside the interval. Only when not even minReadBufferSize can be
//   had does a read give failedTime.
class TimedIo {
public:
    // What a write does with a symbolic link at its path: a path the user chose is written
    // through its link like any other; the multi-file tests name their files themselves, so a
    // link that happens to bear such a name is refused (the write fails, ELOOP) and the file it
    // points to, which the user never offered, stays as it was.
    enum class LinkAtPath { Follow, Refuse };

    TimedIo(SysCalls &calls, const Timebase &timebase, LinkAtPath links = LinkAtPath::Follow)
        : calls_(calls), timebase_(timebase), links_(links) {}

    // Interval: the reads of length bytes from offset and a sync of the file's data
    // (SysCalls::syncFileData). Open, seek and close lie outside. Fewer bytes than asked for (end
    // of file) gives 0.0.
    double timedRead(const std::string &path, std::int64_t offset, std::int64_t length);

    // Interval: open, the read of the whole file and close, with the cache bypassed: before the
    // start tick the file's pages are dropped; inside, O_DIRECT where the file system takes it, a
    // plain read of the freshly dropped pages where it does not. An empty file gives 0.0.
    double timedUncachedRead(const std::string &path);
    // How the last read met the cache, meaningful after a positive time: Cached after timedRead;
    // Direct, PagesDropped or NotBypassed after timedUncachedRead. None before the first read.
    CacheMode lastCacheMode() const { return lastCacheMode_; }

    // Creates (or truncates) the file outside the interval. Interval: writing the whole buffer
    // and fsync. Close lies outside.
    double timedWrite(const std::string &path, std::span<const std::uint8_t> buffer);

    // Interval: open (create or truncate), writing the whole buffer, close; no fsync. A failure
    // gives 0.0.
    double timedWholeWrite(const std::string &path, std::span<const std::uint8_t> buffer);

    // The write-path rule: timedWholeWrite above largeWriteThreshold, timedWrite otherwise.
    double timedTestWrite(const std::string &path, std::span<const std::uint8_t> buffer);

    // Frees the read buffer; the next read makes a new one.
    void releaseReadBuffer() { readBuffer_ = TestBuffer(); }

private:
    // The read buffer for a file of length bytes, every page touched; an empty span when no
    // memory could be had. Its size is the length read per call.
    std::span<std::uint8_t> readBufferFor(std::int64_t length);
    // Reads into buffer (reused, its whole size per call) until limit bytes arrived or the end
    // of the file.
    bool readToEnd(int fd, std::span<std::uint8_t> buffer, std::int64_t limit, std::int64_t &got,
                   bool direct);
    int openFile(const std::string &path, int flags, mode_t mode);
    // Create-or-truncate for writing, with O_NOFOLLOW when links are refused.
    int writeFlags() const;
    double elapsed(std::uint64_t start, std::uint64_t end) const;
    // The cache mode of a plain read in place of O_DIRECT: it depends on whether the pages
    // dropped.
    CacheMode plainReadMode() const {
        return pagesDropped_ ? CacheMode::PagesDropped : CacheMode::NotBypassed;
    }

    SysCalls &calls_;
    const Timebase &timebase_;
    LinkAtPath links_;
    CacheMode lastCacheMode_ = CacheMode::None;
    bool pagesDropped_ = false; // the last uncached read wrote back and dropped the file's pages
    TestBuffer readBuffer_;
};

} // namespace quorlan
