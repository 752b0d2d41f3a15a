#include "app/AppDelegate.h"

#include "app/HelpWindow.h"
#include "app/SettingsStore.h"
#include "app/UpdateSchedule.h"

#include <QDateTime>

namespace quorlan {

AppDelegate::AppDelegate(SettingsStore &store, std::function<void()> checkForUpdates,
                         QObject *parent)
    : QObject(parent), store_(store), checkForUpdates_(std::move(checkForUpdates)) {}

AppDelegate::~AppDelegate() = default;

void AppDelegate::applicationDidFinishLaunching() {
    checkForUpdatesIfDue();
}

void AppDelegate::checkForUpdatesIfDue() {
    quorlan::checkForUpdatesIfDue(
        store_, [] { return secondsSinceReferenceDate(QDateTime::currentDateTimeUtc()); },
        [this] {
            if (checkForUpdates_)
                checkForUpdates_();
        });
}

void AppDelegate::openHelp() {
    auto window = std::make_unique<HelpWindow>();
    window->show();
    window->raise();
    window->activateWindow();
    myHelpWindow.push_back(std::move(window));
}

} // namespace quorlan
