#pragma once

#include "bench/SysCalls.h"

#include <string>
#include <string_view>

namespace quorlan {

// The one way Quorlan writes a file the user asked for (the saved log, exported results, the
// chart), through calls so that tests can inject faults.
//
// Writes bytes to path exactly as given (byte for byte, nothing added), directly into that file:
// no temporary file, no rename. An existing file is truncated and replaced in place; a new file
// is created with mode 0644 (less the process's umask). Writes are retried on EINTR and
// continued after short counts; the data is synced (a file that cannot be synced, such as a
// character device or a pipe, is still written) and failures of the sync and of close count as
// failures of the write. close reporting EINTR counts as closed: Linux releases the descriptor
// then. Nothing is ever deleted: when the failure came after the file was opened, the part that
// was written stays.
//
// Returns 0 when the file was written, or else the error number (errno) of the first failure,
// for the front end to turn into its own sentence.
int writeUserFile(SysCalls &calls, const std::string &path, std::string_view bytes);

// The system's text for an error number (strerror), for example "No space left on device".
std::string errorText(int error);

} // namespace quorlan
