#pragma once

#include "log/LogLines.h"

#include <optional>
#include <string>

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

} // namespace quorlan
