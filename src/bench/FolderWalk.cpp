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

// Reads one folder's names whole, so no descriptor stays open while its subfolders are walked:
// a tree of any depth needs one open folder at a time.
bool listFolder(const std::string &path, std::vector<std::string> &names) {
    DirHandle dir(opendir(path.c_str()));
    if (!dir)
        return false;
    while (const dirent *entry = readdir(dir.get())) {
        if (!isDot(entry->d_name))
            names.emplace_back(entry->d_name);
    }
    return true;
}

} // namespace

bool walkFolder(const std::string &folder, const std::function<bool(const std::string &)> &visit) {
    struct Pending {
        std::string relative; // "" for the top folder
        std::vector<std::string> names;
        std::size_t next = 0;
    };
    std::vector<Pending> stack(1);
    if (!listFolder(folder, stack.back().names))
        return false;
    while (!stack.empty()) {
        Pending &top = stack.back();
        if (top.next == top.names.size()) {
            stack.pop_back();
            continue;
        }
        const std::string relative =
            top.relative.empty() ? top.names[top.next] : top.relative + "/" + top.names[top.next];
        ++top.next;
        if (!visit(relative))
            return true;
        struct stat info {};
        const std::string full = folder + "/" + relative;
        if (lstat(full.c_str(), &info) == 0 && S_ISDIR(info.st_mode)) {
            Pending below{relative, {}, 0};
            if (listFolder(full, below.names))
                stack.push_back(std::move(below));
        }
    }
    return true;
}

} // namespace quorlan
