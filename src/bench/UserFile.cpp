#include "bench/UserFile.h"

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <fcntl.h>
#include <span>

namespace quorlan {

namespace {

// strerror_r comes in two forms: GNU returns the text, XSI fills the buffer and returns 0.
[[maybe_unused]] const char *errorTextOf(const char *text, const char *) {
    return text;
}
[[maybe_unused]] const char *errorTextOf(int result, const char *buffer) {
    return result == 0 ? buffer : "Unknown error";
}

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
    char buffer[256] = {};
    return errorTextOf(strerror_r(error, buffer, sizeof buffer), buffer);
}

} // namespace quorlan
