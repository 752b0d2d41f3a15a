#pragma once

#include "app/AppDelegate.h"
#include "app/DesktopBrowser.h"
#include "app/QtAlerts.h"
#include "app/QtFilePanels.h"
#include "app/ViewController.h"

#include <memory>

namespace quorlan {

class MachineProbe;
class SettingsStore;

// The parts of the desktop program, made in their order: the file panels, alerts and browser,
// the machine probe, the delegate with the update check's addresses, and the main window with
// its Help menu wired to the delegate.
class Application {
public:
    // The store must outlive the application.
    explicit Application(SettingsStore &store);
    ~Application();

    // Shows the window and lets the delegate run its launch steps once the event loop turns.
    void start();

    ViewController &window() { return *window_; }
    AppDelegate &delegate() { return delegate_; }

    // Application-wide names and icon; call once, after the QApplication exists.
    static void describeToQt();

private:
    QtFilePanels panels_;
    QtAlerts alerts_;
    DesktopBrowser browser_;
    std::unique_ptr<MachineProbe> probe_;
    AppDelegate delegate_;
    std::unique_ptr<ViewController> window_;
};

} // namespace quorlan
