#pragma once

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <system_error>

namespace quorlan::testing {

// A fresh folder under the system's temporary folder for the life of the object: the destructor
// removes it with everything in it, so a test leaves nothing behind, however it ends. (Tests
// delete their own scratch; the program itself never deletes a file.) When no folder can be made
// the test program stops at once: a test must never write beside "/" instead.
class TempFolder {
public:
    TempFolder() : path_((std::filesystem::temp_directory_path() / "quorlan-test.XXXXXX")) {
        if (::mkdtemp(path_.data()) == nullptr) {
            std::perror(("cannot make a scratch folder " + path_).c_str());
            std::abort();
        }
    }
    ~TempFolder() {
        // A test may have taken the permissions of a folder inside away: give them back first.
        namespace fs = std::filesystem;
        std::error_code ignored;
        fs::permissions(path_, fs::perms::owner_all, fs::perm_options::add, ignored);
        for (auto entry = fs::recursive_directory_iterator(path_, ignored);
             entry != fs::recursive_directory_iterator(); entry.increment(ignored)) {
            if (entry->is_directory(ignored) && !entry->is_symlink(ignored))
                fs::permissions(entry->path(), fs::perms::owner_all, fs::perm_options::add,
                                ignored);
        }
        fs::remove_all(path_, ignored);
    }
    TempFolder(const TempFolder &) = delete;
    TempFolder &operator=(const TempFolder &) = delete;

    const std::string &path() const { return path_; }

private:
    std::string path_;
};

inline void writeFile(const std::string &path, std::int64_t size, char fill = 'x') {
    std::ofstream(path, std::ios::binary) << std::string(static_cast<std::size_t>(size), fill);
}

// The whole file as bytes; empty when it cannot be read.
inline std::string fileContents(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), {});
}

inline int openDescriptorCount() {
    const std::filesystem::directory_iterator entries("/proc/self/fd");
    return static_cast<int>(std::distance(begin(entries), end(entries)));
}

} // namespace quorlan::testing
