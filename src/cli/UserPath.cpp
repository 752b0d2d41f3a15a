#include "cli/UserPath.h"

#include <cctype>
#include <filesystem>
#include <sys/stat.h>

namespace quorlan {

namespace {

bool isDirectory(const std::string &path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

bool exists(const std::string &path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0;
}

// The folder of an absolute normal path.
std::string parentOf(const std::string &path) {
    const std::size_t slash = path.find_last_of('/');
    return slash == 0 ? std::string("/") : path.substr(0, slash);
}

bool isTiff(const std::string &extension) {
    if (extension.size() != 4)
        return false;
    for (std::size_t i = 0; i < 4; ++i)
        if (std::tolower(static_cast<unsigned char>(extension[i])) != "tiff"[i])
            return false;
    return true;
}

// The save panel only yields names with the "tiff" extension, in any case.
std::string withTiffExtension(const std::string &path) {
    const std::size_t slash = path.find_last_of('/');
    const std::size_t dot = path.find_last_of('.');
    if (dot != std::string::npos && dot > slash + 1 && isTiff(path.substr(dot + 1)))
        return path;
    return path + ".tiff";
}

// The current folder as the system gives it (links resolved); empty when it cannot be had (it
// was removed, or a folder on its way cannot be read).
std::string currentFolder() {
    std::error_code error;
    const std::filesystem::path current = std::filesystem::current_path(error);
    return error ? std::string() : current.string();
}

} // namespace

std::string absoluteNormalPath(const std::string &path) {
    std::string whole = path;
    if (path.empty() || path.front() != '/') {
        const std::string current = currentFolder();
        if (current.empty())
            return {};
        whole = current + "/" + path;
    }
    std::string normal;
    for (std::size_t start = 0; start < whole.size();) {
        std::size_t end = whole.find('/', start);
        if (end == std::string::npos)
            end = whole.size();
        const std::string part = whole.substr(start, end - start);
        if (!part.empty() && part != ".")
            normal += "/" + part;
        start = end + 1;
    }
    return normal.empty() ? std::string("/") : normal;
}

CheckedPath checkedPath(PathKind kind, const std::string &typed) {
    const std::string path = absoluteNormalPath(typed);
    if (path.empty())
        return {typed, "the current folder cannot be found, so '" + typed + "' has no place"};
    if (kind == PathKind::NewFile) {
        if (isDirectory(path))
            return {path, "'" + path + "' is a folder"};
        const std::string file = withTiffExtension(path);
        if (!isDirectory(parentOf(file)))
            return {file, "the folder of '" + file + "' does not exist"};
        if (isDirectory(file))
            return {file, "'" + file + "' is a folder"};
        return {file, {}};
    }
    if (kind == PathKind::ExistingFile) {
        if (!exists(path))
            return {path, "'" + path + "' does not exist"};
        if (isDirectory(path))
            return {path, "'" + path + "' is a folder, not a file"};
        return {path, {}};
    }
    if (!isDirectory(path))
        return {path, "'" + path + "' is not an existing folder"};
    return {path, {}};
}

} // namespace quorlan
