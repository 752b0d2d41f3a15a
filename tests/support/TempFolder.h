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
    TempFolder() {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "quorlan-test.XXXXXX").string();
        if (const char *made = ::mkdtemp(pattern.data())) {
            path_ = made;
            return;
        }
        std::perror(("cannot make a scratch folder " + pattern).c_str());
        std::abort();
    }
    ~TempFolder() {
        if (path_.empty())
            return;
        std::error_code ignored;
        if (std::filesystem::remove_all(path_, ignored) != static_cast<std::uintmax_t>(-1))
            return;
        // A test took the permissions of a folder inside away: give them back, then try again.
        namespace fs = std::filesystem;
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
    std::ofstream out(path, std::ios::binary);
    out << std::string(static_cast<std::size_t>(size), fill);
}

// The whole file as bytes; empty when it cannot be read.
inline std::string fileContents(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), {});
}

inline int openDescriptorCount() {
    int count = 0;
    for ([[maybe_unused]] const auto &entry : std::filesystem::directory_iterator("/proc/self/fd"))
        ++count;
    return count;
}

} // namespace quorlan::testing
