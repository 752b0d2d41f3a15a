#include "bench/FolderWalk.h"

#include "bench/SysCalls.h"

#include <dirent.h>
#include <sys/stat.h>
#include <vector>

namespace quorlan {

namespace {

// A real folder, not a link to one; asks the file system only when the listing did not say.
bool isFolder(SysCalls &calls, const std::string &path, unsigned char type) {
    if (type != DT_UNKNOWN)
        return type == DT_DIR;
    struct stat info {};
    return calls.lstat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
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
    if (calls.listFolder(folder.c_str(), stack.back().entries) != 0)
        return false;
    while (!stack.empty()) {
        Pending &top = stack.back();
        if (top.next == top.entries.size()) {
            stack.pop_back();
            continue;
        }
        const FolderEntry entry = top.entries[top.next++];
        const std::string relative =
            top.relative.empty() ? entry.name : top.relative + "/" + entry.name;
        if (!visit(relative))
            return true;
        const std::string full = folder + "/" + relative;
        if (isFolder(calls, full, entry.type)) {
            Pending below{relative, {}, 0};
            if (calls.listFolder(full.c_str(), below.entries) == 0)
                stack.push_back(std::move(below));
        }
    }
    return true;
}

} // namespace quorlan
