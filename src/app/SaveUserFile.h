#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace quorlan {

class SysCalls;

// The window's one sentence for a file the user asked for that could not be written:
//   The SUBJECT could not be saved as “NAME” in “FOLDER”: REASON.
// SUBJECT names what was saved ("log", "results", "chart"). NAME is the part of path after its
// last "/", FOLDER the part before it ("/" for a file in the root folder, "." for a path without
// a "/"), REASON the system's text for error (errorText, for example "Permission denied" or "No
// space left on device"). The sentence has no line feed at either end.
std::string saveFailureSentence(std::string_view subject, const std::string &path, int error);

// Writes bytes to path with writeUserFile (path used byte for byte, an existing file replaced in
// place, nothing deleted on failure). Returns nothing when the file was written, or else the
// sentence above.
std::optional<std::string> saveUserFile(SysCalls &calls, std::string_view subject,
                                        const std::string &path, std::string_view bytes);

} // namespace quorlan
