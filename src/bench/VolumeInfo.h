#pragma once

#include "bench/SysCalls.h"

#include <cstdint>
#include <optional>
#include <string>

namespace quorlan {

// What a file system's type says about the rates measured on it.
enum class FileSystemKind {
    Unknown,   // the type is not known, or could be anything (fuse, overlay)
    Disk,      // a local file system on a block device
    RamBacked, // held in memory (tmpfs, ramfs): rates measure memory
    Network,   // reached over a network (nfs, cifs, 9p, ceph, ...): rates include the network
};

struct FileSystemInfo {
    // The usual short name ("ext4", "xfs", "tmpfs", "nfs", ...); the magic number as "0x%x" text
    // when it is not one we know; empty when the file system could not be asked.
    std::string type;
    FileSystemKind kind = FileSystemKind::Unknown;
};

// The file system that holds path, a file or a folder. A path that does not exist (yet) is
// answered by its parent folder, so a write test's target can be asked before the test creates
// it. Linux names the type from statfs's f_type (ext2, ext3 and ext4 share one number and all
// read "ext4"); macOS from f_fstypename. Never fails: an empty type and Unknown instead.
FileSystemInfo fileSystemOf(SysCalls &calls, const std::string &path);

// The bytes an ordinary user may still write on the volume that holds path (statfs: the blocks
// available to a user who is not root, times the block size), asked of the parent folder when
// path does not exist yet; no value when the file system cannot be asked or counts no blocks.
std::optional<std::int64_t> freeBytes(SysCalls &calls, const std::string &path);

// freeBytes(path) when writing bytes there does not fit, counting the replaced bytes of the files
// the writes replace as space they may use; no value when they fit or the volume cannot be asked.
std::optional<std::int64_t> freeBytesShortOf(SysCalls &calls, const std::string &path,
                                             std::int64_t bytes, std::int64_t replaced);

// The bytes the file occupies on its volume (st_blocks * 512, following symbolic links); no
// value when it cannot be stat'ed.
std::optional<std::int64_t> allocatedBytes(SysCalls &calls, const std::string &path);

} // namespace quorlan
