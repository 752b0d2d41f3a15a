#pragma once

#include "app/FilePanels.h"
#include "app/LogQueue.h"
#include "app/RunProgress.h"
#include "bench/Bench.h"
#include "bench/CancelToken.h"
#include "bench/PanelSettings.h"

#include <QElapsedTimer>
#include <QMainWindow>
#include <QStringList>
#include <QTimer>

#include <functional>
#include <memory>
#include <vector>

class QAction;
class QCheckBox;
class QComboBox;
class QLineEdit;
class QMenu;
class QPushButton;
class QTabWidget;
class QThread;

namespace quorlan {

class LogView;
class ProgressPanel;
class RateChart;
class WarningsLabel;
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
};

// The main window: the control panel, the log, the result fields and the progress of a running
// test. A test runs on its own thread with a snapshot of the panel, which stays locked until the
// test has ended; only one test runs at a time.
class ViewController final : public QMainWindow {
    Q_OBJECT
public:
    explicit ViewController(ViewServices services, QWidget *parent = nullptr);
    ~ViewController() override;

    double theFontSize = 12.0; // points, 4 to 60 through the font commands
    const QStringList sizeList{"KB", "MB", "GB"};
    const QStringList contentList{"0x00", "0x88", "0x1A", "0x41"};

    // The model: analyser, size lists, dates, machine texts, timebase. Read it only while no test
    // runs; the running test owns it.
    Bench &model() { return bench_; }
    const Bench &model() const { return bench_; }

    // The panel as it stands now, texts exactly as typed.
    PanelSettings panelSettings() const;
    void setPanelSettings(const PanelSettings &panel);
    bool isRunning() const { return running_; }

    // Appends text to the log after everything a test has queued (GUI thread).
    void appendToLog(const QString &text);

    QLineEdit *filesizeTextbox = nullptr;
    QComboBox *sizePopup = nullptr;
    QComboBox *contentPopup = nullptr;
    QLineEdit *repeatsTextbox = nullptr;
    QLineEdit *lengthTextbox = nullptr;
    QCheckBox *noCacheCheckbox = nullptr;
    QCheckBox *isVerboseCheckbox = nullptr;
    QCheckBox *isRandomSizes = nullptr;
    QLineEdit *writeResultTextbox = nullptr;
    QLineEdit *readResultTextbox = nullptr;
    LogView *outputTextbox = nullptr;
    // The main area: the log (tab "Log", shown first) and the rate chart (tab "Chart"), which
    // shows the last multi-file test.
    QTabWidget *mainTabs = nullptr;
    RateChart *rateChart = nullptr;

    QAction *writeFileAction = nullptr;
    QAction *readFileAction = nullptr;
    QAction *multiWriteAction = nullptr;
    QAction *multiReadAction = nullptr;
    QAction *mixedTestAction = nullptr;
    QAction *cancelAction = nullptr;
    QAction *saveLogAction = nullptr;
    QAction *saveChartAction = nullptr;     // enabled while the chart has data and no test runs
    QAction *exportResultsAction = nullptr; // enabled once a test has run, while none runs
    QAction *closeAction = nullptr;
    QAction *incFontAction = nullptr;
    QAction *decFontAction = nullptr;
    QAction *openHelpAction = nullptr;
    QAction *updateStatusAction = nullptr; // "Update not checked" until a check has answered
    QMenu *helpMenu = nullptr;

    // The last run's warnings, in the status bar; hidden while there are none.
    WarningsLabel *warningsLabel = nullptr;
    ProgressPanel *progressArea = nullptr;
    QPushButton *cancelButton = nullptr; // the progress area's

public slots:
    void writeFileButton();
    void readFile();
    void runMultiWriteTest();
    void runMultiReadTest();
    void runMixedTest();
    void saveContents();
    void saveChart();
    // Saves the last run's measurements and summary: JSON, or CSV for a name ending in ".csv".
    void exportResults();
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
    enum class ResultFields { None, Write, Read, Both };

    void buildWidgets();
    void buildMenus();
    void viewDidLoad();
    void viewDidAppear();
    bool saveSettingsAndQuit();
    void restorePanelFromStore();
    // A test of one chosen path (file or folder, as bytes) with the panel's settings.
    using PathTest = std::function<void(const std::string &path, const PanelSettings &panel)>;
    static FilePanelRequest testFolderRequest();
    // A save panel in which folders can be made; proposedName may be empty.
    static FilePanelRequest savePanelRequest(const QStringList &types, const QString &proposedName);
    // Shows the panel; when it is confirmed with a path, runs test on that path.
    void runOnChosenPath(const FilePanelRequest &request, const QString &title, ResultFields fields,
                         PathTest test);
    // Runs test on its own thread with the panel as it is now; target is the file or folder.
    void startRun(const QString &title, const QString &target, ResultFields fields,
                  std::function<void(const PanelSettings &)> test);
    void runEnded();
    void setRunning(bool running);
    // Save Chart and Export Results: available once there is something to save and no test runs.
    void updateFileCommands();
    // On the test's thread, right after the test: what the figures alone do not tell.
    void examineRun();
    void flushLog();
    void showProgress();
    void restyleOutputLog();
    void storeFontSize();

    ViewServices services_;
    LogQueue logQueue_;
    RunProgress runProgress_;
    CancelToken cancelToken_;
    Bench bench_;

    bool running_ = false;
    bool closeWhenRunEnds_ = false;
    bool closing_ = false;
    ResultFields runFields_ = ResultFields::None;
    // Written by the test's thread after the test, read once it has ended.
    std::vector<std::string> runWarnings_;
    std::string runFileSystemType_;
    QThread *runThread_ = nullptr;
    QTimer pollTimer_; // flushes the log and shows progress while a test runs
    QElapsedTimer runClock_;
    std::vector<QWidget *> panelControls_;
    std::vector<QAction *> testCommands_;
};

} // namespace quorlan
