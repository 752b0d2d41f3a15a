#include "bench/FolderWalk.h"

#include "bench/SysCalls.h"

#include <cerrno>
#include <climits>
#include <dirent.h>
#include <sys/stat.h>
#include <vector>

namespace quorlan {

namespace {

// The longest path, in bytes without the terminating zero, that the system accepts.
constexpr std::size_t longestPath = PATH_MAX - 1;

// A real folder, not a link to one; asks the file system only when the listing did not say.
bool isFolder(SysCalls &calls, const std::string &path, unsigned char type) {
    if (type != DT_UNKNOWN)
        return type == DT_DIR;
    struct stat info {};
    return retryInterrupted([&] { return calls.lstat(path.c_str(), &info); }) == 0 &&
           S_ISDIR(info.st_mode);
}

// Lists path into entries, which end up holding exactly one listing; an interrupted listing is
// started again from an empty list. 0, or -1 with errno as listFolder left it.
int listWhole(SysCalls &calls, const std::string &path, std::vector<FolderEntry> &entries) {
    for (;;) {
        entries.clear();
        if (calls.listFolder(path.c_str(), entries) == 0)
            return 0;
        if (errno != EINTR)
            return -1;
    }
}

} // namespace

bool walkFolder(SysCalls &calls, const std::string &folder,
                const std::function<bool(const std::string &)> &visit) {
    struct Pending {
        std::string relative; // "" for the top folder
        std::vector<FolderEntry> entries;
        std::size_t next = 0;
    };
    std::vector<Pending> stack(1);
    if (listWhole(calls, folder, stack.back().entries) != 0)
        return false;
    while (!stack.empty()) {
        Pending &top = stack.back();
        if (top.next == top.entries.size()) {
            stack.pop_back();
            continue;
        }
        FolderEntry entry = std::move(top.entries[top.next++]);
        std::string relative = top.relative;
        if (!relative.empty())
            relative += '/';
        relative += entry.name;
        if (folder.size() + 1 + relative.size() > longestPath)
            continue; // cannot be opened by path: left out, and all below it
        if (!visit(relative))
            return true;
        if (entry.type != DT_DIR && entry.type != DT_UNKNOWN)
            continue;
        std::string full = folder;
        full += '/';
        full += relative;
        if (!isFolder(calls, full, entry.type))
            continue;
        Pending below{std::move(relative), {}, 0};
        if (listWhole(calls, full, below.entries) == 0)
            stack.push_back(std::move(below)); // top is not used past this point
    }
    return true;
}

} // namespace quorlan
