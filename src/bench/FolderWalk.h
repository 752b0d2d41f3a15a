#pragma once

#include <functional>
#include <string>

namespace quorlan {

// Deep walk of a folder: calls visit with the path of every entry below it, relative to it
// (hidden entries included), each folder before its contents, in the order the file system
// lists them. Symbolic links are reported but never followed, so no loop can be entered. A
// subfolder that cannot be opened is reported and its contents are left out. visit returns false
// to stop the walk. Returns false when the folder itself cannot be opened.
bool walkFolder(const std::string &folder, const std::function<bool(const std::string &)> &visit);

} // namespace quorlan
