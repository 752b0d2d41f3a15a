#pragma once

#include "TempFolder.h"

#include <filesystem>
#include <map>
#include <set>
#include <sstream>
#include <string>

#include <sys/stat.h>

namespace quorlan::testing {

// Every entry below a folder by its path relative to it (bytes as the file system holds them),
// with what it is as lstat sees it (a symbolic link is the link itself): type and permission
// bits, inode (a file replaced by another of the same name gets another), size, modification and
// change times, a hash of a regular file's bytes and a link's target. The access time is left
// out: reading a file may change it. A folder that cannot be read adds nothing.
using FolderSnapshot = std::map<std::string, std::string>;

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
        std::ostringstream state;
        state << info.st_mode << ' ' << info.st_ino << ' ' << info.st_size << ' '
              << info.st_mtim.tv_sec << '.' << info.st_mtim.tv_nsec << ' ' << info.st_ctim.tv_sec
              << '.' << info.st_ctim.tv_nsec << ' '
              << (S_ISREG(info.st_mode) ? std::hash<std::string>{}(fileContents(path)) : 0) << ' '
              << fs::read_symlink(path, ignored).string();
        snapshot[path.substr(root.size() + 1)] = state.str();
    }
    return snapshot;
}

// The relative names whose entry differs between two snapshots: changed, gone or new.
inline std::set<std::string> changedNames(const FolderSnapshot &before,
                                          const FolderSnapshot &after) {
    std::set<std::string> changed;
    for (const auto &[one, other] : {std::pair(&before, &after), std::pair(&after, &before)}) {
        for (const auto &[name, state] : *one) {
            if (!other->count(name) || other->at(name) != state)
                changed.insert(name);
        }
    }
    return changed;
}

} // namespace quorlan::testing
