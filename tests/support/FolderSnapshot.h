#pragma once

#include "TempFolder.h"

#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <ostream>
#include <set>
#include <string>

#include <sys/stat.h>

namespace quorlan::testing {

// What one entry of a folder tree was, as lstat sees it (a symbolic link is the link itself).
// The access time is left out: reading a file may change it.
struct EntryState {
    mode_t mode = 0; // type and permission bits
    ino_t inode = 0; // a file replaced by another of the same name gets another inode
    std::int64_t size = 0;
    std::int64_t mtimeSeconds = 0, mtimeNanoseconds = 0;
    std::int64_t ctimeSeconds = 0, ctimeNanoseconds = 0;
    std::size_t contentHash = 0; // a hash of a regular file's bytes; 0 for anything else
    std::string linkTarget;      // a symbolic link's target, byte for byte

    bool operator==(const EntryState &) const = default;
};

// Readable failure messages in GoogleTest.
inline void PrintTo(const EntryState &s, std::ostream *out) {
    *out << "{mode " << std::oct << s.mode << std::dec << ", inode " << s.inode << ", size "
         << s.size << ", mtime " << s.mtimeSeconds << "." << s.mtimeNanoseconds << ", ctime "
         << s.ctimeSeconds << "." << s.ctimeNanoseconds << ", hash " << s.contentHash << ", link \""
         << s.linkTarget << "\"}";
}

// Every entry below a folder by its path relative to it (bytes as the file system holds them).
// Symbolic links are recorded, never followed; a folder that cannot be read adds nothing.
using FolderSnapshot = std::map<std::string, EntryState>;

inline FolderSnapshot snapshotFolder(const std::string &root) {
    namespace fs = std::filesystem;
    FolderSnapshot snapshot;
    std::error_code ignored;
    for (auto entry = fs::recursive_directory_iterator(
             root, fs::directory_options::skip_permission_denied, ignored);
         entry != fs::recursive_directory_iterator(); entry.increment(ignored)) {
        const std::string path = entry->path().string();
        struct stat info {};
        if (::lstat(path.c_str(), &info) != 0)
            continue;
        EntryState &state = snapshot[path.substr(root.size() + 1)];
        state = {
            info.st_mode,         info.st_ino,         info.st_size,         info.st_mtim.tv_sec,
            info.st_mtim.tv_nsec, info.st_ctim.tv_sec, info.st_ctim.tv_nsec, 0,
            std::string()};
        if (S_ISREG(info.st_mode))
            state.contentHash = std::hash<std::string>{}(fileContents(path));
        if (S_ISLNK(info.st_mode))
            state.linkTarget = fs::read_symlink(path, ignored).string();
    }
    return snapshot;
}

// The relative names whose entry differs between two snapshots: changed, gone or new.
inline std::set<std::string> changedNames(const FolderSnapshot &before,
                                          const FolderSnapshot &after) {
    std::set<std::string> changed;
    for (const auto &[name, state] : before) {
        if (!after.count(name) || !(after.at(name) == state))
            changed.insert(name);
    }
    for (const auto &[name, state] : after) {
        if (!before.count(name))
            changed.insert(name);
    }
    return changed;
}

} // namespace quorlan::testing
