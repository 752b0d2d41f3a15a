#pragma once

#include <functional>
#include <string>

namespace quorlan {

class SysCalls;

// Deep walk of a folder: calls visit with the path of every entry below it, relative to it
// (hidden entries included), each folder before its contents, in the order the file system
// lists them. Symbolic links are reported but never followed, so no loop can be entered. A
// subfolder that cannot be listed is reported and its contents are left out. Each folder is
// listed whole and closed before its subfolders are walked, so a tree of any depth holds one
// folder open at a time. visit returns false to stop the walk. Returns false when the folder
// itself cannot be listed.
bool walkFolder(SysCalls &calls, const std::string &folder,
                const std::function<bool(const std::string &)> &visit);

} // namespace quorlan
