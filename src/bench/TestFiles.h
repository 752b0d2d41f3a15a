#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace quorlan {

class SysCalls;

// The name a multi-file test gives a file: "P-I.tiff" for file I of pass P of a multi-write,
// "I.tiff" for position I of the mixed test (pass 0). Numbers in plain decimal, no leading zero.
std::string testFileName(std::int64_t pass, std::size_t position);

// A file of folder: one slash between them, also when the folder is the root.
std::string inFolder(const std::string &folder, const std::string &name);

// The bytes allocated now to the regular files in folder that bear the names of files 0 to
// files-1 of passes firstPass to lastPass (0 to 0: the mixed test's names); 0 when the folder
// cannot be listed. Links and other entries count nothing: the tests refuse to write through
// them.
std::int64_t allocatedToTestFiles(SysCalls &calls, const std::string &folder,
                                  std::int64_t firstPass, std::int64_t lastPass, std::size_t files);

} // namespace quorlan
