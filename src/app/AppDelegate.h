#pragma once

#include <QObject>

#include <functional>
#include <memory>
#include <vector>

namespace quorlan {

class HelpWindow;
class SettingsStore;

// The application's own side: the update schedule at launch and the help windows.
class AppDelegate final : public QObject {
    Q_OBJECT
public:
    // checkForUpdates starts an update check and returns at once; it may be empty.
    explicit AppDelegate(SettingsStore &store, std::function<void()> checkForUpdates = {},
                         QObject *parent = nullptr);
    ~AppDelegate() override;

    // Every help window opened so far, in order; closing one hides it and keeps it here until
    // the application quits.
    std::vector<std::unique_ptr<HelpWindow>> myHelpWindow;

public slots:
    void applicationDidFinishLaunching();
    void checkForUpdatesIfDue();
    void applicationWillTerminate() {}
    // Opens a new help window each time, even when one is already open.
    void openHelp();

private:
    SettingsStore &store_;
    std::function<void()> checkForUpdates_;
};

} // namespace quorlan
