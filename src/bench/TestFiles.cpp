#include "bench/TestFiles.h"

#include "bench/Saturating.h"
#include "bench/SysCalls.h"

#include <charconv>
#include <optional>
#include <utility>

namespace quorlan {

namespace {

// The pass and position a test file's name stands for; nullopt for any other name, leading
// zeros included, since no test writes such a name.
std::optional<std::pair<std::int64_t, std::size_t>> testFilePlace(const std::string &name) {
    if (!name.ends_with(".tiff"))
        return std::nullopt;
    const std::size_t dash = name.find('-');
    std::int64_t pass = 0;
    std::size_t position = 0;
    const char *first = name.data();
    if (dash != std::string::npos && std::from_chars(first, first + dash, pass).ptr != first + dash)
        return std::nullopt;
    const char *digits = dash == std::string::npos ? first : first + dash + 1;
    const char *end = name.data() + name.size() - 5;
    if (std::from_chars(digits, end, position).ptr != end || testFileName(pass, position) != name)
        return std::nullopt;
    return std::pair{pass, position};
}

} // namespace

std::string testFileName(std::int64_t pass, std::size_t position) {
    const std::string index = std::to_string(position) + ".tiff";
    return pass > 0 ? std::to_string(pass) + "-" + index : index;
}

std::string inFolder(const std::string &folder, const std::string &name) {
    return folder.ends_with('/') ? folder + name : folder + "/" + name;
}

std::int64_t allocatedToTestFiles(SysCalls &calls, const std::string &folder,
                                  std::int64_t firstPass, std::int64_t lastPass,
                                  std::size_t files) {
    std::vector<FolderEntry> entries;
    // An interrupted listing keeps what it appended: each attempt starts from no entries.
    const auto listWhole = [&] {
        entries.clear();
        return calls.listFolder(folder.c_str(), entries);
    };
    if (retryInterrupted(listWhole) != 0)
        return 0;
    std::int64_t bytes = 0;
    for (const FolderEntry &entry : entries) {
        const auto place = testFilePlace(entry.name);
        if (!place || place->first < firstPass || place->first > lastPass || place->second >= files)
            continue;
        struct stat info {};
        const std::string path = inFolder(folder, entry.name);
        if (retryInterrupted([&] { return calls.lstat(path.c_str(), &info); }) == 0 &&
            S_ISREG(info.st_mode))
            bytes = saturatingAdd(bytes, static_cast<std::int64_t>(info.st_blocks) * 512);
    }
    return bytes;
}

} // namespace quorlan
