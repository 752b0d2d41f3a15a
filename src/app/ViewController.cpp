#include "app/ViewController.h"

#include "analysis/Statistics.h"
#include "app/Alerts.h"
#include "app/ControlPanel.h"
#include "app/FreeSpaceQuestion.h"
#include "app/LogView.h"
#include "app/OutputArea.h"
#include "app/PanelColumn.h"
#include "app/ProgressPanel.h"
#include "app/RateChart.h"
#include "app/RunOutcome.h"
#include "app/SaveUserFile.h"
#include "app/VerdictTable.h"
#include "app/WarningsLabel.h"
#include "app/WindowMenus.h"
#include "appcore/PanelPersistence.h"
#include "appcore/SettingsStore.h"
#include "bench/ResultsExport.h"
#include "bench/ResultsFile.h"
#include "bench/RunWarnings.h"
#include "bench/VolumeInfo.h"
#include "log/SavedLog.h"
#include "sysinfo/MachineDescription.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QFile>
#include <QMenuBar>
#include <QPointer>
#include <QSplitter>
#include <QStatusBar>

#include <algorithm>

namespace quorlan {

namespace {

constexpr double minFontSize = 4.0;
constexpr double maxFontSize = 60.0;

// File names on disk are bytes; Qt's paths are decoded with the file-name encoding.
std::string localPath(const QString &path) {
    return QFile::encodeName(path).toStdString();
}

} // namespace

ViewController::ViewController(ViewServices services, QWidget *parent)
    : QMainWindow(parent), services_(std::move(services)),
      bench_(runs_.logSink(), services_.calls, services_.stdSizes) {
    runs_.attach(bench_);
    menus_ = std::make_unique<WindowMenus>(*menuBar(), *this);
    buildWidgets();
    connect(&runs_, &RunController::logText, outputTextbox, &LogView::appendText);
    connect(&runs_, &RunController::progressed, progressArea, &ProgressPanel::show);
    connect(&runs_, &RunController::started, this, &ViewController::runBegan);
    connect(&runs_, &RunController::finished, this, &ViewController::runEnded);
    viewDidLoad();
}

ViewController::~ViewController() {
    runs_.abandon();
}

void ViewController::buildWidgets() {
    panelColumn = new PanelColumn(menus_->testActions());
    auto *output = new OutputArea;
    outputArea = output;
    outputTextbox = output->log();
    rateChart = output->chart();
    verdictTable = output->verdicts();
    progressArea = output->progress();
    connect(progressArea, &ProgressPanel::cancelClicked, this, &ViewController::cancelTest);
    auto *splitter = new QSplitter;
    splitter->addWidget(panelColumn);
    splitter->addWidget(output);
    splitter->setStretchFactor(1, 1);
    splitter->setChildrenCollapsible(false);
    setCentralWidget(splitter);
    warningsLabel = new WarningsLabel;
    warningsLabel->setObjectName("warningsLabel");
    statusBar()->addPermanentWidget(warningsLabel, 1);
    resize(1100, 720);
}

void ViewController::viewDidLoad() {
    panelColumn->panel().loadTitles();
    if (const std::optional<QString> geometry = services_.store.string(settingKeys::windowGeometry))
        restoreGeometry(QByteArray::fromBase64(geometry->toLatin1()));
    theFontSize = restoreFontSize(services_.store);
    outputTextbox->setLogFontSize(theFontSize);
    bench_.theAnalyser.emplace();
    const auto &sizes = bench_.theSizes;
    bench_.theAnalyser->minSize = sizes.empty() ? 0 : *std::min_element(sizes.begin(), sizes.end());
    bench_.theAnalyser->reset();
}

void ViewController::showEvent(QShowEvent *event) {
    QMainWindow::showEvent(event);
    if (!event->spontaneous() && !runs_.isRunning())
        viewDidAppear();
}

void ViewController::viewDidAppear() {
    setWindowTitle(QStringLiteral("Quorlan Benchmarking"));
    bench_.readTimebase();
    restorePanelFromStore();
    bench_.theSizes = bench_.theStdSizes;
    const MachineDescription machine = describeMachine(services_.probe);
    bench_.macType = machine.macType.toStdString();
    bench_.macOSVersion = machine.macOSVersion.toStdString();
    const QString version = QCoreApplication::applicationVersion();
    if (!version.isEmpty())
        bench_.quorlanVersion = version.toStdString();
}

void ViewController::restorePanelFromStore() {
    setPanelSettings(restorePanel(services_.store, panelSettings(),
                                  panelColumn->panel().sizeItemCount(),
                                  panelColumn->panel().contentItemCount()));
}

void ViewController::closeEvent(QCloseEvent *event) {
    if (runs_.isRunning()) {
        // The run ends with its report and footer first; the window closes when it has.
        closeWhenRunEnds_ = true;
        cancelTest();
        statusBar()->showMessage(
            runs_.canCancel()
                ? tr("Stopping the test; Quorlan quits when it has ended.")
                : tr("Quorlan quits when this file is done: a single-file test cannot be "
                     "stopped part way."));
        setCursor(Qt::BusyCursor);
        event->ignore();
        return;
    }
    if (!closing_) {
        closing_ = true;
        saveSettingsAndQuit();
    }
    event->accept();
}

bool ViewController::saveSettingsAndQuit() {
    savePanel(services_.store, panelSettings());
    services_.store.setString(settingKeys::windowGeometry,
                              QString::fromLatin1(saveGeometry().toBase64()));
    if (services_.terminate)
        services_.terminate();
    return true;
}

void ViewController::runOnChosenPath(const TestCommand &command) {
    if (runs_.isRunning())
        return; // one test at a time; the commands are disabled meanwhile
    QPointer self(this);
    services_.panels.begin(command.request, this,
                           [self, command](int response, std::optional<QString> path) {
                               if (self && response == panelOKResponse && path)
                                   self->startRun(command, *path);
                           });
}

void ViewController::startRun(const TestCommand &command, const QString &target) {
    if (runs_.isRunning()) {
        // Two panels were open and both confirmed: the second test is not started.
        statusBar()->showMessage(tr("A test is running; the new one was not started."), 5000);
        return;
    }
    const PanelSettings panel = panelSettings();
    if (services_.alerts) {
        const std::optional<Alert> question =
            freeSpaceQuestion(services_.calls, command, localPath(target), panel, bench_);
        if (question && services_.alerts->runModal(*question) != alertSecondButtonReturn) {
            statusBar()->showMessage(tr("The test was not started."), 5000);
            return;
        }
    }
    const RunDescription &run = command.run;
    progressArea->begin(run.title, target, run.cancellable, run.hasWritePhase);
    warningsLabel->setWarnings({});
    runs_.start(run, [this, test = command.test, file = localPath(target), panel] {
        (bench_.*test)(file, panel);
        examineRun();
    });
}

void ViewController::runBegan() {
    setRunning(true);
    emit runStarted();
}

void ViewController::runEnded() {
    const RunDescription &run = runs_.run();
    showResults(run);
    if (run.fillsChart && bench_.theAnalyser) {
        rateChart->setData(rateChartData(*bench_.theAnalyser));
        currentRun_.reset();
        if (!rateChart->data().empty())
            currentRun_ = comparedRun(bench_.lastRun, exportContext(), "this run");
        showComparison();
    }
    // Failures come first: they say why figures are missing, the warnings what they may not show.
    std::vector<std::string> notes;
    if (const QString failures = failureSentence(bench_.lastRun); !failures.isEmpty())
        notes.push_back(failures.toStdString());
    notes.insert(notes.end(), runWarnings_.begin(), runWarnings_.end());
    warningsLabel->setWarnings(notes);
    unsetCursor();
    setRunning(false);
    emit runFinished();
    if (closeWhenRunEnds_)
        close();
}

void ViewController::showResults(const RunDescription &run) {
    const auto why = [this](const std::string &text, bool writes) {
        return text == notAvailableText ? notAvailableReason(bench_.lastRun, writes) : QString();
    };
    if (run.fillsWriteResult) {
        const std::string text = bench_.writeResultText();
        panelColumn->showWriteResult(QString::fromStdString(text), why(text, true));
    }
    if (run.fillsReadResult) {
        const std::string text = bench_.readResultText();
        panelColumn->showReadResult(QString::fromStdString(text), why(text, false));
    }
}

void ViewController::setRunning(bool running) {
    panelColumn->setLocked(running);
    menus_->showRunning(running, runs_.canCancel());
    progressArea->setVisible(running);
    updateFileCommands();
}

void ViewController::updateFileCommands() {
    const bool idle = !runs_.isRunning();
    menus_->enableSaving(idle && rateChart->hasData(), idle && !bench_.lastRun.command.empty());
    menus_->enableClearComparison(!loadedRuns_.empty());
}

void ViewController::examineRun() {
    // statfs and stat may wait on a slow volume, so they run here rather than on the GUI thread.
    runWarnings_ = runWarnings(bench_.lastRun, services_.calls);
    runFileSystemType_ = fileSystemOf(services_.calls, bench_.lastRun.path).type;
}

void ViewController::cancelTest() {
    if (!runs_.cancel())
        return;
    progressArea->cancelling();
    menus_->showRunning(true, runs_.canCancel());
}

void ViewController::appendToLog(const QString &text) {
    runs_.flushLog();
    outputTextbox->appendText(text);
}

void ViewController::saveContents() {
    if (runs_.isRunning())
        return; // one test at a time; the commands are disabled meanwhile
    runs_.flushLog();
    const QString text = outputTextbox->logText();
    const FilePanelRequest request =
        savePanelRequest({"text", "txt"}, QString::fromStdString(savedLogName(bench_.startDate)));
    QPointer self(this);
    services_.panels.begin(request, this, [self, text](int response, std::optional<QString> path) {
        if (!self || response != panelOKResponse || !path)
            return;
        const std::optional<std::string> failure =
            saveUserFile(self->services_.calls, "log", localPath(*path), text.toStdString());
        if (!failure)
            return;
        // The log keeps its own account, at its end; the status bar shows it where it is seen.
        self->appendToLog(QString::fromStdString(*failure));
        self->statusBar()->showMessage(QString::fromStdString(*failure));
    });
}

void ViewController::saveChart() {
    if (runs_.isRunning() || !rateChart->hasData())
        return; // the command is disabled meanwhile
    const FilePanelRequest request = savePanelRequest({"png"}, QStringLiteral("Quorlan-chart.png"));
    QPointer self(this);
    services_.panels.begin(request, this, [self](int response, std::optional<QString> path) {
        if (!self || response != panelOKResponse || !path)
            return;
        // A failure goes to the status bar: the log holds test output only.
        QString error;
        if (self->rateChart->savePng(self->services_.calls, *path, &error))
            self->statusBar()->showMessage(tr("Chart saved to %1").arg(*path), 5000);
        else
            self->statusBar()->showMessage(error);
    });
}

void ViewController::exportResults() {
    if (runs_.isRunning() || bench_.lastRun.command.empty())
        return; // the command is disabled meanwhile
    const FilePanelRequest request =
        savePanelRequest({"json", "csv"}, QStringLiteral("Quorlan-results.json"));
    // The run as it is now: a test started while the panel is open does not change what is saved.
    const RunRecord run = bench_.lastRun;
    const ExportContext context = exportContext();
    QPointer self(this);
    services_.panels.begin(
        request, this, [self, run, context](int response, std::optional<QString> path) {
            if (!self || response != panelOKResponse || !path)
                return;
            const bool csv = path->endsWith(QLatin1String(".csv"), Qt::CaseInsensitive);
            const QByteArray bytes = csv ? resultsCsv(run, context) : resultsJson(run, context);
            const std::optional<std::string> failure =
                saveUserFile(self->services_.calls, "results", localPath(*path),
                             std::string_view(bytes.constData(), bytes.size()));
            // Like the chart, the results are not test output: the status bar tells, not the log.
            if (failure)
                self->statusBar()->showMessage(QString::fromStdString(*failure));
            else
                self->statusBar()->showMessage(tr("Results saved to %1").arg(*path), 5000);
        });
}

ExportContext ViewController::exportContext() const {
    return {bench_.macType, bench_.macOSVersion, bench_.quorlanVersion, runFileSystemType_};
}

void ViewController::compareWithResults() {
    QPointer self(this);
    services_.panels.beginChoosingFiles(
        resultsFilesRequest(tr("Compare")), this, [self](int response, QStringList paths) {
            if (!self || response != panelOKResponse || paths.isEmpty())
                return;
            const QStringList failures = self->loadedRuns_.load(paths);
            // Like the other files the window reads or writes, a failure is told in the status
            // bar, in place of an earlier load's; the log holds test output only.
            self->statusBar()->showMessage(failures.join(' '));
            if (failures.size() < paths.size()) {
                self->showComparison();
                self->outputArea->showChart();
            }
        });
}

void ViewController::clearComparison() {
    loadedRuns_.clear();
    showComparison();
}

void ViewController::showComparison() {
    std::vector<ComparedChartRun> charted;
    for (const LoadedRun &run : loadedRuns_.runs())
        charted.push_back({LoadedRuns::legendLabel(run.compared), run.chart});
    rateChart->setComparedRuns(std::move(charted));
    verdictTable->setVerdicts(loadedRuns_.verdicts(currentRun_));
    verdictTable->setVisible(!loadedRuns_.empty());
    updateFileCommands();
}

void ViewController::incFontSize() {
    theFontSize = std::min(theFontSize + 1.0, maxFontSize);
    applyFontSize();
}

void ViewController::decFontSize() {
    theFontSize = std::max(theFontSize - 1.0, minFontSize);
    applyFontSize();
}

void ViewController::applyFontSize() {
    services_.store.setDouble(settingKeys::fontSize, theFontSize);
    outputTextbox->setLogFontSize(theFontSize);
}

} // namespace quorlan
