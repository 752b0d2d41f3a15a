#pragma once

#include <vector>

class QAction;
class QMenu;
class QMenuBar;

namespace quorlan {

class ViewController;

// The main window's menus, File, Test, View and Help, with their shortcuts; each item triggers
// the window's command of the same name. Every item is an action with an object name:
// saveLogAction, saveChartAction, exportResultsAction, compareResultsAction,
// clearComparisonAction, closeAction, quitAction,
// writeFileAction, readFileAction, multiWriteAction, multiReadAction, mixedTestAction,
// cancelAction, incFontAction, decFontAction, openHelpAction, updateStatusAction and
// aboutAction (which opens the About Quorlan box); the Help menu is helpMenu. The menus belong to
// the bar.
class WindowMenus final {
public:
    WindowMenus(QMenuBar &bar, ViewController &window);

    // While a test runs the five tests and Save Log are off; Cancel Test is on while the
    // running test can still be cancelled.
    void showRunning(bool running, bool cancellable);
    // Save Chart and Export Results, each on while there is something to save and no test runs.
    void enableSaving(bool chart, bool results);
    // Clear Comparison, on while runs are loaded for comparison. Compare With Results… is
    // always on: loading does not touch the running test.
    void enableClearComparison(bool loaded);

    // The items of the five tests, in the order of testCommands().
    const std::vector<QAction *> &testActions() const { return testActions_; }

    // The Help menu, whose "Update not checked" item an update check marks.
    QMenu *helpMenu() const { return helpMenu_; }
    QAction *openHelpAction() const { return openHelpAction_; }

private:
    void buildFileMenu(QMenuBar &bar, ViewController &window);
    void buildTestMenu(QMenuBar &bar, ViewController &window);
    void buildViewAndHelpMenus(QMenuBar &bar, ViewController &window);

    QAction *saveLogAction_ = nullptr;
    QAction *saveChartAction_ = nullptr;
    QAction *exportResultsAction_ = nullptr;
    QAction *clearComparisonAction_ = nullptr;
    std::vector<QAction *> testActions_; // in the order of testCommands()
    QAction *cancelAction_ = nullptr;
    QMenu *helpMenu_ = nullptr;
    QAction *openHelpAction_ = nullptr;
};

} // namespace quorlan
