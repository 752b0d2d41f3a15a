#include "appcore/UpdateSchedule.h"

#include "appcore/SettingsStore.h"

#include <QTimeZone>

namespace quorlan {

namespace {

constexpr double minimumUpdateCheckInterval = 1.0; // seconds

} // namespace

double secondsSinceReferenceDate(const QDateTime &moment) {
    if (!moment.isValid())
        return 0.0;
    static const qint64 referenceMs =
        QDateTime(QDate(2001, 1, 1), QTime(0, 0), QTimeZone::utc()).toMSecsSinceEpoch();
    return static_cast<double>(moment.toMSecsSinceEpoch() - referenceMs) / 1000.0;
}

void checkForUpdatesIfDue(SettingsStore &store, const std::function<double()> &now,
                          const std::function<void()> &startCheck) {
    const bool noUpdateCheck = store.boolean(settingKeys::noUpdateCheck);
    const double lastCheck = store.doubleValue(settingKeys::dateLastUpdateCheck);
    double interval = store.doubleValue(settingKeys::updateCheckInt);

    const double launchTime = now();
    if (interval < minimumUpdateCheckInterval)
        interval = defaultUpdateCheckInterval;

    if (!noUpdateCheck && launchTime - lastCheck > interval) {
        startCheck();
        store.setDouble(settingKeys::dateLastUpdateCheck, now());
    }
    store.setBoolean(settingKeys::noUpdateCheck, noUpdateCheck);
    store.setDouble(settingKeys::updateCheckInt, interval);
}

} // namespace quorlan
