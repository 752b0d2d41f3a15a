#pragma once

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

namespace quorlan::testing {

// A fresh folder under the system's temporary folder. Test files stay small; the folder is left
// for the system's cleaner, since nothing in Quorlan removes files.
inline std::string makeTempFolder() {
    std::string pattern = (std::filesystem::temp_directory_path() / "quorlan-test.XXXXXX").string();
    const char *made = mkdtemp(pattern.data());
    return made ? std::string(made) : std::string();
}

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
