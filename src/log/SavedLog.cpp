#include "log/SavedLog.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <unistd.h>

namespace quorlan {

namespace {

constexpr std::string_view undatedName = "Quorlan-output.text";

// One write call moves at most this much on Linux.
constexpr std::size_t maxTransfer = 0x7ffff000;

// strerror_r comes in two forms: GNU returns the text, XSI fills the buffer and returns 0.
[[maybe_unused]] const char *errorTextOf(const char *text, const char *) {
    return text;
}
[[maybe_unused]] const char *errorTextOf(int result, const char *buffer) {
    return result == 0 ? buffer : "Unknown error";
}

std::string errorText(int error) {
    char buffer[256] = {};
    return errorTextOf(strerror_r(error, buffer, sizeof buffer), buffer);
}

std::string failureText(std::string_view subject, const std::string &path, int error) {
    const std::size_t slash = path.rfind('/');
    const bool bare = slash == std::string::npos;
    const std::string name = bare ? path : path.substr(slash + 1);
    const std::string folder = bare         ? std::string(".")
                               : slash == 0 ? std::string("/")
                                            : path.substr(0, slash);
    std::string text = "The ";
    text.append(subject).append(" could not be saved as \u201c");
    text.append(name).append("\u201d in \u201c").append(folder).append("\u201d: ");
    text.append(errorText(error)).append(".");
    return text;
}

bool writeAll(int fd, std::string_view text) {
    std::size_t done = 0;
    while (done < text.size()) {
        const std::size_t count = std::min(text.size() - done, maxTransfer);
        const ssize_t written = ::write(fd, text.data() + done, count);
        if (written < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        if (written == 0) { // no progress: the volume takes nothing more
            errno = ENOSPC;
            return false;
        }
        done += static_cast<std::size_t>(written);
    }
    return true;
}

bool syncData(int fd) {
    while (::fsync(fd) != 0) {
        if (errno == EINTR)
            continue;
        // Pipes, character devices and the like cannot be synced; their data went out anyway.
        return errno == EINVAL || errno == EROFS;
    }
    return true;
}

} // namespace

std::string savedLogName(std::optional<Date> startDate) {
    if (!startDate)
        return std::string(undatedName);
    // floor, not a cast: a moment before 1970 must not be rounded up to the next second.
    const auto seconds = std::chrono::floor<std::chrono::seconds>(*startDate);
    const std::time_t time = static_cast<std::time_t>(seconds.time_since_epoch().count());
    std::tm utc{};
    if (gmtime_r(&time, &utc) == nullptr)
        return std::string(undatedName);
    char stamp[64] = {};
    std::snprintf(stamp, sizeof stamp, "%04d-%02d-%02dT%02d_%02d_%02dZ", utc.tm_year + 1900,
                  utc.tm_mon + 1, utc.tm_mday, utc.tm_hour, utc.tm_min, utc.tm_sec);
    return "Quorlan_" + std::string(stamp) + ".text";
}

std::optional<std::string> saveLogText(const std::string &path, std::string_view text) {
    return saveTextFile("log", path, text);
}

std::optional<std::string> saveTextFile(std::string_view subject, const std::string &path,
                                        std::string_view text) {
    int fd = -1;
    do {
        fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0)
        return failureText(subject, path, errno);

    int error = 0;
    if (!writeAll(fd, text) || !syncData(fd))
        error = errno;
    // Linux releases the descriptor even when close reports EINTR, so it is never retried.
    if (::close(fd) != 0 && errno != EINTR && error == 0)
        error = errno;
    if (error != 0)
        return failureText(subject, path, error);
    return std::nullopt;
}

} // namespace quorlan
