#pragma once

#include <cstdint>
#include <fstream>
#include <map>
#include <ostream>
#include <set>
#include <string>
#include <vector>

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quorlan::testing {

// What one entry of a folder tree was, as lstat sees it (a symbolic link is the link itself).
// The access time is left out: reading a file may change it.
struct EntryState {
    mode_t mode = 0; // type and permission bits
    ino_t inode = 0; // a file replaced by another of the same name gets another inode
    std::int64_t size = 0;
    std::int64_t mtimeSeconds = 0, mtimeNanoseconds = 0;
    std::int64_t ctimeSeconds = 0, ctimeNanoseconds = 0;
    std::uint64_t contentHash = 0; // FNV-1a of a regular file's bytes; 0 for anything else
    std::string linkTarget;        // a symbolic link's target, byte for byte

    bool operator==(const EntryState &) const = default;
};

// Readable failure messages in GoogleTest.
inline void PrintTo(const EntryState &s, std::ostream *out) {
    *out << "{mode " << std::oct << s.mode << std::dec << ", inode " << s.inode << ", size "
         << s.size << ", mtime " << s.mtimeSeconds << "." << s.mtimeNanoseconds << ", ctime "
         << s.ctimeSeconds << "." << s.ctimeNanoseconds << ", hash " << std::hex << s.contentHash
         << std::dec << ", link \"" << s.linkTarget << "\"}";
}

// Every entry below a folder by its path relative to it (bytes as the file system holds them),
// folders before their contents. Symbolic links are recorded, never followed.
using FolderSnapshot = std::map<std::string, EntryState>;

// 64-bit FNV-1a of the file's bytes; 0 when it cannot be opened.
inline std::uint64_t contentHashOf(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return 0;
    std::uint64_t hash = 14695981039346656037ull;
    char buffer[65536];
    while (in.read(buffer, sizeof buffer) || in.gcount() > 0) {
        for (std::streamsize i = 0; i < in.gcount(); ++i) {
            hash ^= static_cast<unsigned char>(buffer[i]);
            hash *= 1099511628211ull;
        }
    }
    return hash;
}

inline EntryState entryStateOf(const std::string &path, const struct stat &info) {
    EntryState state;
    state.mode = info.st_mode;
    state.inode = info.st_ino;
    state.size = info.st_size;
    state.mtimeSeconds = info.st_mtim.tv_sec;
    state.mtimeNanoseconds = info.st_mtim.tv_nsec;
    state.ctimeSeconds = info.st_ctim.tv_sec;
    state.ctimeNanoseconds = info.st_ctim.tv_nsec;
    if (S_ISREG(info.st_mode)) {
        state.contentHash = contentHashOf(path);
    } else if (S_ISLNK(info.st_mode)) {
        std::string target(4096, '\0');
        const ssize_t n = ::readlink(path.c_str(), target.data(), target.size());
        target.resize(n > 0 ? static_cast<std::size_t>(n) : 0);
        state.linkTarget = target;
    }
    return state;
}

inline void addEntriesBelow(const std::string &root, const std::string &relative,
                            FolderSnapshot &snapshot) {
    const std::string folder = relative.empty() ? root : root + "/" + relative;
    std::vector<std::string> names;
    if (DIR *dir = ::opendir(folder.c_str())) {
        while (const dirent *entry = ::readdir(dir)) {
            const std::string name = entry->d_name;
            if (name != "." && name != "..")
                names.push_back(name);
        }
        ::closedir(dir);
    }
    for (const std::string &name : names) {
        const std::string inside = relative.empty() ? name : relative + "/" + name;
        struct stat info {};
        if (::lstat((root + "/" + inside).c_str(), &info) != 0)
            continue;
        snapshot[inside] = entryStateOf(root + "/" + inside, info);
        if (S_ISDIR(info.st_mode))
            addEntriesBelow(root, inside, snapshot);
    }
}

inline FolderSnapshot snapshotFolder(const std::string &root) {
    FolderSnapshot snapshot;
    addEntriesBelow(root, "", snapshot);
    return snapshot;
}

// The relative names whose entry differs between two snapshots: changed, gone or new.
inline std::set<std::string> changedNames(const FolderSnapshot &before,
                                          const FolderSnapshot &after) {
    std::set<std::string> changed;
    for (const auto &[name, state] : before) {
        const auto found = after.find(name);
        if (found == after.end() || !(found->second == state))
            changed.insert(name);
    }
    for (const auto &[name, state] : after) {
        if (!before.count(name))
            changed.insert(name);
    }
    return changed;
}

} // namespace quorlan::testing
