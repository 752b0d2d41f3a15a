#pragma once

#include "app/ControlPanel.h"
#include "app/FilePanels.h"
#include "app/LoadedRuns.h"
#include "app/PanelColumn.h"
#include "app/RunController.h"
#include "app/TestCommand.h"
#include "bench/Bench.h"
#include "bench/PanelSettings.h"
#include "bench/ResultsExport.h"

#include <QMainWindow>

#include <functional>
#include <memory>
#include <vector>

namespace quorlan {

class Alerts;
class LogView;
class OutputArea;
class ProgressPanel;
class RateChart;
class VerdictTable;
class WarningsLabel;
class WindowMenus;
class MachineProbe;
class SettingsStore;
class SysCalls;

// What the window needs from outside; all references must outlive the window.
struct ViewServices {
    SettingsStore &store;
    FilePanels &panels;
    SysCalls &calls;
    MachineProbe &probe;
    std::vector<std::int64_t> stdSizes = standardSizes();
    // Ends the application after the window saved its settings; tests count the calls.
    std::function<void()> terminate;
    // Asks before a test that writes more than its volume has free; none: no question is asked.
    Alerts *alerts = nullptr;
};

// The main window: the control panel with the test buttons and the result fields (PanelColumn),
// the log and the rate chart, the progress area of a running test, the status bar and the menus. A
// test runs through the run controller with a snapshot of the panel, which stays locked until the
// test has ended; only one test runs at a time. Results files loaded for comparison are drawn on
// the chart beside the last multi-file run, with their verdicts under it.
//
// Widgets are found by object name: the panel's controls (see ControlPanel), the menu items
// (see WindowMenus), the result fields (see PanelColumn), the log, the chart and the progress
// area (see OutputArea and ProgressPanel), and warningsLabel (the last run's failures and
// warnings in the status bar, hidden while there are none).
class ViewController final : public QMainWindow {
    Q_OBJECT
public:
    explicit ViewController(ViewServices services, QWidget *parent = nullptr);
    ~ViewController() override;

    double theFontSize = 12.0; // points, 4 to 60 through the font commands

    // The model: analyser, size lists, dates, machine texts, timebase. Read it only while no test
    // runs; the running test owns it.
    Bench &model() { return bench_; }
    const Bench &model() const { return bench_; }

    // The panel as it stands now, texts exactly as typed.
    PanelSettings panelSettings() const { return panelColumn->panel().settings(); }
    void setPanelSettings(const PanelSettings &panel) { panelColumn->panel().setSettings(panel); }
    bool isRunning() const { return runs_.isRunning(); }

    // Appends text to the log after everything a test has queued (GUI thread).
    void appendToLog(const QString &text);

    // The menus; the application wires the Help menu to its delegate.
    const WindowMenus &menus() const { return *menus_; }

public slots:
    // The five tests (see TestCommand): each asks for a file or folder, then runs on it.
    void writeFileButton() { runOnChosenPath(writeFileCommand()); }
    void readFile() { runOnChosenPath(readFileCommand()); }
    void runMultiWriteTest() { runOnChosenPath(multiWriteCommand()); }
    void runMultiReadTest() { runOnChosenPath(multiReadCommand()); }
    void runMixedTest() { runOnChosenPath(mixedTestCommand()); }
    void saveContents();
    // Save Chart and Export Results: enabled while there is something to save and no test runs.
    void saveChart();
    // Saves the last run's measurements and summary: JSON, or CSV for a name ending in ".csv".
    void exportResults();
    // Loads the results files chosen in an open panel, after those loaded before, and draws them
    // beside the current run; a file that cannot be read is named in the status bar. Neither
    // this nor clearComparison touches the log or the model, so both work while a test runs.
    void compareWithResults();
    void clearComparison();
    void incFontSize();
    void decFontSize();
    void cancelTest();

signals:
    void runStarted();
    void runFinished();

protected:
    void showEvent(QShowEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    void buildWidgets();
    void viewDidLoad();
    void viewDidAppear();
    bool saveSettingsAndQuit();
    void restorePanelFromStore();
    // Shows the command's panel; when it is confirmed with a path, runs its test on that path.
    void runOnChosenPath(const TestCommand &command);
    // Runs the command's test on target, the chosen file or folder, with the panel as it is now.
    void startRun(const TestCommand &command, const QString &target);
    void runBegan();
    void runEnded();
    // The result fields after a multi-file run, with why a field shows "n/a".
    void showResults(const RunDescription &run);
    // The chart's compared runs and the verdicts as loadedRuns_ and currentRun_ are now.
    void showComparison();
    // What an export of the last run tells beside the run: machine texts and file system.
    ExportContext exportContext() const;
    void setRunning(bool running);
    void updateFileCommands();
    // On the test's thread, right after the test: what the figures alone do not tell.
    void examineRun();
    // Stores theFontSize at once and applies it to the whole log.
    void applyFontSize();

    ViewServices services_;
    RunController runs_;
    Bench bench_; // reports to runs_, which is abandoned before bench_ goes

    // The window's parts, made by the constructor; the widgets are owned as its children.
    std::unique_ptr<WindowMenus> menus_;
    PanelColumn *panelColumn = nullptr;
    LogView *outputTextbox = nullptr;
    OutputArea *outputArea = nullptr;
    RateChart *rateChart = nullptr;
    VerdictTable *verdictTable = nullptr;
    ProgressPanel *progressArea = nullptr;
    WarningsLabel *warningsLabel = nullptr;

    LoadedRuns loadedRuns_;
    // The last multi-file run that left something on the chart, as the verdicts compare it.
    std::optional<ComparedRun> currentRun_;

    bool closeWhenRunEnds_ = false;
    bool closing_ = false;
    // Written by the test's thread after the test, read once it has ended.
    std::vector<std::string> runWarnings_;
    std::string runFileSystemType_;
};

} // namespace quorlan
