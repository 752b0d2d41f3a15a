#pragma once

#include <functional>
#include <string>

namespace quorlan {

class SysCalls;

// Deep walk of a folder: calls visit with the path of every entry below it, relative to it
// (hidden entries included, names as the bytes the file system holds, UTF-8 or not), each folder
// before its contents, in the order the file system lists them. visit returns false to stop the
// walk. Returns false when the folder itself cannot be listed (nothing is visited then).
//
// What the walk guarantees on a tree that changes or misbehaves:
// - Loops: symbolic links are reported but never followed (the listing's type, or lstat where
//   the listing does not say), so no link loop can be entered.
// - Change: each folder is listed once, whole, just before its contents are walked. An entry
//   removed after its folder was listed is still visited (the caller finds it gone); a folder
//   removed or made unreadable before it is listed is visited and its contents are left out;
//   entries created in a folder not yet listed are visited, those created in a folder already
//   listed are not. Every listed entry is visited exactly once per walk.
// - Failures: a listing interrupted by a signal (EINTR) is started again, as often as it takes,
//   from an empty list; any other failure leaves that folder's contents out.
// - Depth: a folder's listing is closed before its subfolders are walked, so a tree of any depth
//   holds no folder open while visit runs and one at most while listing. Memory is the listings
//   of the folders from the top down to the current one (each held until its last entry is
//   visited) plus their paths.
// - Long paths: entries are reached by their full path (folder + "/" + relative), so an entry
//   whose full path has PATH_MAX bytes or more (4096 on Linux) cannot be opened by this program
//   and is left out without a visit, together with everything below it. The readers open files
//   by path too, so walking deeper (fd-relative) would only visit what they cannot read.
bool walkFolder(SysCalls &calls, const std::string &folder,
                const std::function<bool(const std::string &)> &visit);

} // namespace quorlan
