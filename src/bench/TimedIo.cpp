#include "bench/TimedIo.h"

#include "bench/SysCalls.h"
#include "bench/TestBuffer.h"
#include "bench/Timebase.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>

namespace quorlan {

namespace {

// Read buffers are never larger than one call's transfer and are reused call after call.
constexpr auto maxTransfer = static_cast<std::int64_t>(maxTransferBytes);
constexpr std::int64_t pageSize = 4096;

std::int64_t readChunkFor(std::int64_t length) {
    const std::int64_t rounded = (length + pageSize - 1) / pageSize * pageSize;
    return std::clamp<std::int64_t>(rounded, pageSize, maxTransfer);
}

} // namespace

std::span<std::uint8_t> TimedIo::readBufferFor(std::int64_t length) {
    const std::int64_t wanted = readChunkFor(length);
    if (readBuffer_.size() < wanted) {
        readBuffer_ = TestBuffer(); // release first: never hold two
        readBuffer_ = makeReadBufferUpTo(wanted);
        if (!readBuffer_.valid()) {
            readBuffer_ = TestBuffer();
            return {};
        }
    }
    const std::span<std::uint8_t> used(
        readBuffer_.data(), static_cast<std::size_t>(std::min(readBuffer_.size(), wanted)));
    touchForWriting(used);
    return used;
}

double TimedIo::elapsed(std::uint64_t start, std::uint64_t end) const {
    return timebase_.ticksToSeconds(end - start);
}

int TimedIo::openFile(const std::string &path, int flags, mode_t mode) {
    return retryInterrupted([&] { return calls_.open(path.c_str(), flags, mode); });
}

// A direct read always asks for the whole buffer (a multiple of 4096) and takes a short count as
// the end of the file.
bool TimedIo::readToEnd(int fd, std::span<std::uint8_t> buffer, std::int64_t limit,
                        std::int64_t &got, bool direct) {
    const auto chunk = static_cast<std::int64_t>(buffer.size());
    got = 0;
    while (got < limit) {
        const std::int64_t want = direct ? chunk : std::min(chunk, limit - got);
        const ssize_t n = retryInterrupted(
            [&] { return calls_.read(fd, buffer.data(), static_cast<std::size_t>(want)); });
        if (n < 0) {
            if (direct && errno == EINVAL &&
                retryInterrupted([&] { return calls_.clearDirect(fd); }) == 0) {
                direct = false; // the file system opened with O_DIRECT but refuses its reads
                lastCacheMode_ = plainReadMode();
                continue;
            }
            return false;
        }
        if (n == 0)
            break;
        got += n;
        if (direct && n < want)
            break; // a short direct read is the end of the file
    }
    return true;
}

double TimedIo::timedRead(const std::string &path, std::int64_t offset, std::int64_t length) {
    lastCacheMode_ = CacheMode::Cached;
    if (length < 0 || offset < 0)
        return failedTime;
    const std::span<std::uint8_t> buffer = readBufferFor(length);
    if (buffer.empty())
        return failedTime;
    const int fd = openFile(path, O_RDONLY | O_NONBLOCK, 0);
    if (fd < 0)
        return failedTime;
    if (retryInterrupted([&] { return calls_.lseek(fd, offset, SEEK_SET); }) < 0) {
        closeDescriptor(calls_, fd);
        return failedTime;
    }
    std::int64_t got = 0;
    const std::uint64_t start = calls_.monotonicTicks();
    bool ok = readToEnd(fd, buffer, length, got, false);
    // A read leaves no data of its own to make durable, so its sync writes back whatever dirty
    // pages the file has and stops there: fsync or fdatasync would also commit the journal or
    // flush the drive's cache for every file, which times the disk's flush, not the read.
    ok = ok && retryInterrupted([&] { return calls_.syncFileData(fd); }) == 0;
    const std::uint64_t end = calls_.monotonicTicks();
    if (!closeDescriptor(calls_, fd) || !ok)
        return failedTime;
    if (got < length)
        return 0.0;
    return elapsed(start, end);
}

double TimedIo::timedUncachedRead(const std::string &path) {
    // Before the start tick: learn the size, make the buffer ready, then write back and drop the
    // file's cached pages, the last thing before the clock starts.
    struct stat info {};
    pagesDropped_ = false;
    std::span<std::uint8_t> buffer;
    {
        const int fd = openFile(path, O_RDONLY | O_NONBLOCK, 0);
        if (fd < 0)
            return failedTime;
        const bool known = retryInterrupted([&] { return calls_.fstat(fd, &info); }) == 0;
        if (known)
            buffer = readBufferFor(info.st_size);
        if (!buffer.empty() && S_ISREG(info.st_mode)) {
            // Dirty pages cannot be dropped: a failed fsync leaves the drop in doubt, and only an
            // O_DIRECT read still bypasses the cache then.
            const bool synced = retryInterrupted([&] { return calls_.fsync(fd); }) == 0;
            pagesDropped_ = retryInterrupted([&] { return calls_.dropCache(fd); }) == 0 && synced;
        }
        if (!closeDescriptor(calls_, fd) || buffer.empty())
            return failedTime;
    }

    lastCacheMode_ = CacheMode::Direct;
    std::int64_t got = 0;
    const std::uint64_t start = calls_.monotonicTicks();
    int fd =
        directReadFlag() != 0 ? openFile(path, O_RDONLY | O_NONBLOCK | directReadFlag(), 0) : -1;
    if (fd < 0) {
        lastCacheMode_ = plainReadMode();
        fd = openFile(path, O_RDONLY | O_NONBLOCK, 0);
    }
    if (fd < 0)
        return failedTime;
    const bool ok = readToEnd(fd, buffer, INT64_MAX, got, lastCacheMode_ == CacheMode::Direct);
    const bool closed = closeDescriptor(calls_, fd);
    const std::uint64_t end = calls_.monotonicTicks();
    if (!ok || !closed)
        return failedTime;
    if (got == 0)
        return 0.0;
    return elapsed(start, end);
}

int TimedIo::writeFlags() const {
    return O_WRONLY | O_CREAT | O_TRUNC | (links_ == LinkAtPath::Refuse ? O_NOFOLLOW : 0);
}

double TimedIo::timedWrite(const std::string &path, std::span<const std::uint8_t> buffer) {
    const int fd = openFile(path, writeFlags(), 0644);
    if (fd < 0)
        return failedTime;
    touchForReading(buffer);
    const std::uint64_t start = calls_.monotonicTicks();
    const bool ok =
        writeAll(calls_, fd, buffer) && retryInterrupted([&] { return calls_.fsync(fd); }) == 0;
    const std::uint64_t end = calls_.monotonicTicks();
    if (!closeDescriptor(calls_, fd) || !ok)
        return failedTime;
    return elapsed(start, end);
}

double TimedIo::timedWholeWrite(const std::string &path, std::span<const std::uint8_t> buffer) {
    touchForReading(buffer);
    const std::uint64_t start = calls_.monotonicTicks();
    const int fd = openFile(path, writeFlags(), 0644);
    if (fd < 0)
        return 0.0;
    const bool ok = writeAll(calls_, fd, buffer);
    const bool closed = closeDescriptor(calls_, fd);
    const std::uint64_t end = calls_.monotonicTicks();
    if (!ok || !closed)
        return 0.0;
    return elapsed(start, end);
}

double TimedIo::timedTestWrite(const std::string &path, std::span<const std::uint8_t> buffer) {
    if (static_cast<std::int64_t>(buffer.size()) > largeWriteThreshold)
        return timedWholeWrite(path, buffer);
    return timedWrite(path, buffer);
}

} // namespace quorlan
