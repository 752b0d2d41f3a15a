#include "bench/VolumeInfo.h"

#include <array>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <limits>
#include <string_view>

namespace quorlan {

namespace {

struct KnownFileSystem {
    std::uint32_t magic; // f_type on Linux; unused on macOS
    std::string_view name;
    FileSystemKind kind;
};

using K = FileSystemKind;

#if !defined(__APPLE__)
// Linux's statfs magic numbers (linux/magic.h and the file systems' own sources).
constexpr std::array knownFileSystems{
    KnownFileSystem{0xEF53, "ext4", K::Disk}, // ext2, ext3 and ext4 alike
    KnownFileSystem{0x58465342, "xfs", K::Disk},
    KnownFileSystem{0x9123683E, "btrfs", K::Disk},
    KnownFileSystem{0x2FC12FC1, "zfs", K::Disk},
    KnownFileSystem{0xCA451A4E, "bcachefs", K::Disk},
    KnownFileSystem{0xF2F52010, "f2fs", K::Disk},
    KnownFileSystem{0x3153464A, "jfs", K::Disk},
    KnownFileSystem{0x52654973, "reiserfs", K::Disk},
    KnownFileSystem{0x3434, "nilfs2", K::Disk},
    KnownFileSystem{0x4D44, "vfat", K::Disk},
    KnownFileSystem{0x2011BAB0, "exfat", K::Disk},
    KnownFileSystem{0x5346544E, "ntfs", K::Disk},
    KnownFileSystem{0x7366746E, "ntfs3", K::Disk},
    KnownFileSystem{0x4244, "hfs", K::Disk},
    KnownFileSystem{0x482B, "hfsplus", K::Disk},
    KnownFileSystem{0x15013346, "udf", K::Disk},
    KnownFileSystem{0x9660, "iso9660", K::Disk},
    KnownFileSystem{0x73717368, "squashfs", K::Disk},
    KnownFileSystem{0xE0F5E1E2, "erofs", K::Disk},
    KnownFileSystem{0x01161970, "gfs2", K::Disk},
    KnownFileSystem{0x7461636F, "ocfs2", K::Disk},
    KnownFileSystem{0xF15F, "ecryptfs", K::Unknown}, // stacked on whatever holds it
    KnownFileSystem{0x01021994, "tmpfs", K::RamBacked},
    KnownFileSystem{0x858458F6, "ramfs", K::RamBacked},
    KnownFileSystem{0x958458F6, "hugetlbfs", K::RamBacked},
    KnownFileSystem{0x6969, "nfs", K::Network},
    KnownFileSystem{0xFF534D42, "cifs", K::Network},
    KnownFileSystem{0x517B, "smb", K::Network},
    KnownFileSystem{0xFE534D42, "smb2", K::Network},
    KnownFileSystem{0x01021997, "9p", K::Network},
    KnownFileSystem{0x00C36400, "ceph", K::Network},
    KnownFileSystem{0x5346414F, "afs", K::Network},
    KnownFileSystem{0x6B414653, "afs", K::Network},
    KnownFileSystem{0x564C, "ncp", K::Network},
    KnownFileSystem{0x73757245, "coda", K::Network},
    KnownFileSystem{0x0BD00BD0, "lustre", K::Network},
    KnownFileSystem{0x47504653, "gpfs", K::Network},
    KnownFileSystem{0x20030528, "orangefs", K::Network},
    KnownFileSystem{0x65735546, "fuse", K::Unknown}, // sshfs, ntfs-3g, virtiofs, ... alike
    KnownFileSystem{0x794C7630, "overlay", K::Unknown},
};
#else
// macOS's f_fstypename values and what they are; matched by name.
constexpr std::array macFileSystems{
    KnownFileSystem{0, "apfs", K::Disk},       KnownFileSystem{0, "hfs", K::Disk},
    KnownFileSystem{0, "msdos", K::Disk},      KnownFileSystem{0, "exfat", K::Disk},
    KnownFileSystem{0, "ntfs", K::Disk},       KnownFileSystem{0, "ufs", K::Disk},
    KnownFileSystem{0, "cd9660", K::Disk},     KnownFileSystem{0, "udf", K::Disk},
    KnownFileSystem{0, "tmpfs", K::RamBacked}, KnownFileSystem{0, "nfs", K::Network},
    KnownFileSystem{0, "smbfs", K::Network},   KnownFileSystem{0, "afpfs", K::Network},
    KnownFileSystem{0, "webdav", K::Network},  KnownFileSystem{0, "ftp", K::Network},
};
#endif

// The folder that holds path: "." for a bare name, "/" for a name in the root.
std::string parentFolder(std::string path) {
    while (path.size() > 1 && path.back() == '/')
        path.pop_back();
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    std::size_t end = slash;
    while (end > 0 && path[end - 1] == '/')
        --end;
    return end == 0 ? std::string("/") : path.substr(0, end);
}

// statfs on path, or on its parent folder when path does not exist. false when neither answers.
bool askFileSystem(SysCalls &calls, const std::string &path, struct statfs &info) {
    if (path.empty() || path.find('\0') != std::string::npos)
        return false;
    if (retryInterrupted([&] { return calls.statfs(path.c_str(), &info); }) == 0)
        return true;
    if (errno != ENOENT)
        return false;
    return retryInterrupted([&] { return calls.statfs(parentFolder(path).c_str(), &info); }) == 0;
}

#if defined(__APPLE__)
FileSystemInfo describe(const struct statfs &info) {
    std::string name(info.f_fstypename, ::strnlen(info.f_fstypename, sizeof info.f_fstypename));
    for (const KnownFileSystem &known : macFileSystems)
        if (known.name == name)
            return {name, known.kind};
    return {name, K::Unknown};
}
#else
FileSystemInfo describe(const struct statfs &info) {
    // Magic numbers are 32 bits; f_type is a signed word that may carry them sign-extended.
    const auto magic = static_cast<std::uint32_t>(info.f_type);
    for (const KnownFileSystem &known : knownFileSystems)
        if (known.magic == magic)
            return {std::string(known.name), known.kind};
    char hex[16];
    std::snprintf(hex, sizeof hex, "0x%x", static_cast<unsigned>(magic));
    return {hex, K::Unknown};
}
#endif

} // namespace

FileSystemInfo fileSystemOf(SysCalls &calls, const std::string &path) {
    struct statfs info {};
    if (!askFileSystem(calls, path, info))
        return {};
    return describe(info);
}

std::optional<std::int64_t> freeBytes(SysCalls &calls, const std::string &path) {
    struct statfs info {};
    if (!askFileSystem(calls, path, info) || info.f_blocks == 0)
        return std::nullopt; // a file system that counts no blocks (proc, sysfs) has no figure
#if defined(__APPLE__)
    const auto blockSize = static_cast<std::uint64_t>(info.f_bsize);
#else
    const auto blockSize = static_cast<std::uint64_t>(info.f_frsize);
#endif
    const auto blocks = static_cast<std::uint64_t>(info.f_bavail);
    constexpr auto largest = static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max());
    if (blockSize != 0 && blocks > largest / blockSize)
        return std::numeric_limits<std::int64_t>::max();
    return static_cast<std::int64_t>(blocks * blockSize);
}

std::optional<std::int64_t> freeBytesShortOf(SysCalls &calls, const std::string &path,
                                             std::int64_t bytes, std::int64_t replaced) {
    const std::optional<std::int64_t> free = freeBytes(calls, path);
    if (!free || bytes <= *free || bytes - *free <= replaced)
        return std::nullopt;
    return free;
}

std::optional<std::int64_t> allocatedBytes(SysCalls &calls, const std::string &path) {
    if (path.empty() || path.find('\0') != std::string::npos)
        return std::nullopt;
    struct stat info {};
    if (retryInterrupted([&] { return calls.stat(path.c_str(), &info); }) != 0)
        return std::nullopt;
    const std::int64_t blocks = info.st_blocks;
    if (blocks < 0 || blocks > std::numeric_limits<std::int64_t>::max() / 512)
        return std::nullopt;
    return blocks * 512;
}

} // namespace quorlan
