#pragma once

#include "log/LogLines.h"

#include <optional>
#include <string>
#include <string_view>

namespace quorlan {

// The name proposed when the log is saved.
//   no date: "Quorlan-output.text"
//   a date:  "Quorlan_" + the moment in UTC as yyyy-MM-ddTHH_mm_ssZ + ".text", for example
//            "Quorlan_2026-12-04T16_05_07Z.text" for a start at 16:05:07 UTC on 4 December 2026.
// The hour runs from 00 to 23 and the stamp never depends on the local time zone. Fractions of a
// second are dropped (16:05:07.999 gives 07). A moment before 1970 is stamped the same way (the
// year keeps four digits down to year 0); should the calendar conversion ever fail, the name is
// the undated one.
std::string savedLogName(std::optional<Date> startDate);

// Writes text to path exactly as given (the bytes of the UTF-8 text, no byte-order mark, nothing
// added), directly into that file: no temporary file, no rename. An existing file is truncated
// and replaced in place; a new file is created with mode 0644 (less the process's umask). Writes
// are retried on EINTR and continued after short counts; the data is synced (a file that cannot
// be synced, such as a character device, is still written) and failures of the sync and of close
// count as failures of the save. close reporting EINTR counts as closed: Linux releases the
// descriptor then.
//
// Returns nothing when the file was written, or else one sentence that describes the failure:
//   The log could not be saved as “NAME” in “FOLDER”: REASON.
// NAME is the part of path after its last "/", FOLDER the part before it ("/" for a file in the
// root folder, "." for a path without a "/"), REASON the system's text for the error (strerror,
// for example "Permission denied" or "No space left on device"). The sentence has no line feed
// at either end. When the failure came after the file was opened, the part that was written
// stays: nothing is deleted.
std::optional<std::string> saveLogText(const std::string &path, std::string_view text);

// The same for any text the user saves, with subject in place of "log" in the sentence:
// saveTextFile("results", ...) fails with "The results could not be saved as …".
std::optional<std::string> saveTextFile(std::string_view subject, const std::string &path,
                                        std::string_view text);

} // namespace quorlan
