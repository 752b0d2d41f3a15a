#pragma once

#include "TempFolder.h"

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <string>

#include <sys/mount.h>
#include <unistd.h>

namespace quorlan::testing {

// A small tmpfs mounted on a fresh temporary folder for the life of the object: a volume that
// really fills up. Mounting needs root and CAP_SYS_ADMIN; without them the object holds no mount
// and skipReason() says why, so the test can skip. The destructor detaches the mount
// (umount2 MNT_DETACH): the files on it were only ever in this scratch volume's memory; then the
// empty mount-point folder goes with its TempFolder.
class ScratchMount {
public:
    explicit ScratchMount(std::int64_t bytes) {
        const std::string options = "size=" + std::to_string(bytes);
        const bool root = ::geteuid() == 0;
        mounted_ = root && ::mount("tmpfs", path().c_str(), "tmpfs", 0, options.c_str()) == 0;
        const int error = errno;
        const bool refused = !root || error == EPERM || error == EACCES;
        if (!mounted_)
            (refused ? skipReason_ : failure_) =
                root ? "mount -t tmpfs on " + path() + ": " + std::strerror(error)
                     : "mounting a scratch tmpfs needs root; not running as root";
    }
    ~ScratchMount() {
        if (mounted_)
            ::umount2(path().c_str(), MNT_DETACH);
    }
    ScratchMount(const ScratchMount &) = delete;
    ScratchMount &operator=(const ScratchMount &) = delete;

    bool mounted() const { return mounted_; }
    // The mount point; meaningful only while mounted().
    const std::string &path() const { return mountPoint_.path(); }
    // Non-empty when the machine does not allow the mount (not root, no privilege): skip.
    const std::string &skipReason() const { return skipReason_; }
    // Non-empty when the mount failed for another reason: that is a failure, not a skip.
    const std::string &failure() const { return failure_; }

private:
    TempFolder mountPoint_;
    std::string skipReason_;
    std::string failure_;
    bool mounted_ = false;
};

} // namespace quorlan::testing

// Skips the current test when the machine cannot mount the scratch volume, fails it when the
// mount failed for another reason. For use at the top of a test body.
#define QUORLAN_REQUIRE_SCRATCH_MOUNT(mount)                                                       \
    do {                                                                                           \
        if (!(mount).skipReason().empty())                                                         \
            GTEST_SKIP() << (mount).skipReason();                                                  \
        ASSERT_TRUE((mount).mounted()) << (mount).failure();                                       \
    } while (false)
