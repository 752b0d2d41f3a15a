#include "bench/UserFile.h"

#include <cerrno>
#include <cstdint>
#include <fcntl.h>
#include <span>
#include <system_error>

namespace quorlan {

namespace {

// True when the data reached the device or the file cannot be synced at all.
bool syncData(SysCalls &calls, int fd) {
    if (retryInterrupted([&] { return calls.fsync(fd); }) == 0)
        return true;
    // Pipes, character devices and the like cannot be synced; their data went out anyway.
    return errno == EINVAL || errno == EROFS;
}

} // namespace

int writeUserFile(SysCalls &calls, const std::string &path, std::string_view bytes) {
    const int fd = retryInterrupted(
        [&] { return calls.open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644); });
    if (fd < 0)
        return errno;
    const std::span<const std::uint8_t> data(reinterpret_cast<const std::uint8_t *>(bytes.data()),
                                             bytes.size());
    int error = 0;
    if (!writeAll(calls, fd, data) || !syncData(calls, fd))
        error = errno;
    if (!closeDescriptor(calls, fd) && error == 0)
        error = errno;
    return error;
}

std::string errorText(int error) {
    return std::generic_category().message(error); // strerror's text, without its shared buffer
}

} // namespace quorlan
