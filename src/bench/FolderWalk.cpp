#include "bench/FolderWalk.h"

#include <dirent.h>
#include <memory>
#include <sys/stat.h>
#include <vector>

namespace quorlan {

namespace {

struct CloseDir {
    void operator()(DIR *dir) const { closedir(dir); }
};
using DirHandle = std::unique_ptr<DIR, CloseDir>;

bool isDot(const char *name) {
    return name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0'));
}

struct Entry {
    std::string name;
    unsigned char type; // d_type: DT_DIR, DT_LNK, ..., or DT_UNKNOWN where the file system
                        // does not say
};

// Reads one folder's entries whole, so no descriptor stays open while its subfolders are walked:
// a tree of any depth needs one open folder at a time.
bool listFolder(const std::string &path, std::vector<Entry> &entries) {
    DirHandle dir(opendir(path.c_str()));
    if (!dir)
        return false;
    while (const dirent *entry = readdir(dir.get())) {
        if (!isDot(entry->d_name))
            entries.push_back({entry->d_name, entry->d_type});
    }
    return true;
}

// A real folder, not a link to one; asks the file system only when the listing did not say.
bool isFolder(const std::string &path, unsigned char type) {
    if (type != DT_UNKNOWN)
        return type == DT_DIR;
    struct stat info {};
    return lstat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

} // namespace

bool walkFolder(const std::string &folder, const std::function<bool(const std::string &)> &visit) {
    struct Pending {
        std::string relative; // "" for the top folder
        std::vector<Entry> entries;
        std::size_t next = 0;
    };
    std::vector<Pending> stack(1);
    if (!listFolder(folder, stack.back().entries))
        return false;
    while (!stack.empty()) {
        Pending &top = stack.back();
        if (top.next == top.entries.size()) {
            stack.pop_back();
            continue;
        }
        const Entry entry = top.entries[top.next++];
        const std::string relative =
            top.relative.empty() ? entry.name : top.relative + "/" + entry.name;
        if (!visit(relative))
            return true;
        const std::string full = folder + "/" + relative;
        if (isFolder(full, entry.type)) {
            Pending below{relative, {}, 0};
            if (listFolder(full, below.entries))
                stack.push_back(std::move(below));
        }
    }
    return true;
}

} // namespace quorlan
