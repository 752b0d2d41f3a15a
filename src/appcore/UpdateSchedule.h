#pragma once

#include <QDateTime>

#include <functional>

namespace quorlan {

class SettingsStore;

// The update check interval used when none (or one below a second) is stored:
// 12 hours, in seconds.
inline constexpr double defaultUpdateCheckInterval = 43200.0;

// Seconds from 2001-01-01 00:00:00 UTC to the given moment (negative before
// it), with millisecond resolution. An invalid QDateTime gives 0.0.
double secondsSinceReferenceDate(const QDateTime &moment);

// Run once at launch. now() answers the current time in seconds since the
// reference date above. Unless "noUpdateCheck" is set, and when more than the
// interval ("updateCheckInt", at least 1 s, else 12 hours) has passed since
// "dateLastUpdateCheck", calls startCheck() and then stores a fresh now()
// under "dateLastUpdateCheck". A last-check date in the future (clock set
// back) therefore defers checks until now() passes it by the interval.
// Always writes "noUpdateCheck" back unchanged and "updateCheckInt" as the
// interval in force.
void checkForUpdatesIfDue(SettingsStore &store, const std::function<double()> &now,
                          const std::function<void()> &startCheck);

} // namespace quorlan
