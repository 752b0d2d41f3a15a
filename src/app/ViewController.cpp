#include "app/ViewController.h"

#include "app/FilePanels.h"
#include "app/LogView.h"
#include "app/ProgressPanel.h"
#include "app/RateChart.h"
#include "app/WarningsLabel.h"
#include "appcore/PanelPersistence.h"
#include "appcore/SettingsStore.h"
#include "bench/ResultsExport.h"
#include "bench/RunWarnings.h"
#include "bench/VolumeInfo.h"
#include "log/SavedLog.h"
#include "sysinfo/MachineDescription.h"

#include <QAction>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QCoreApplication>
#include <QFile>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeySequence>
#include <QLineEdit>
#include <QMenuBar>
#include <QPointer>
#include <QPushButton>
#include <QScrollArea>
#include <QShowEvent>
#include <QSplitter>
#include <QStatusBar>
#include <QTabWidget>
#include <QThread>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

namespace quorlan {

namespace {

constexpr double minFontSize = 4.0;
constexpr double maxFontSize = 60.0;
constexpr int pollMilliseconds = 50;

int checkBoxState(const QCheckBox *box) {
    switch (box->checkState()) {
    case Qt::Checked:
        return 1;
    case Qt::PartiallyChecked:
        return -1;
    case Qt::Unchecked:
        break;
    }
    return 0;
}

void setCheckBoxState(QCheckBox *box, int state) {
    box->setCheckState(state == 1    ? Qt::Checked
                       : state == -1 ? Qt::PartiallyChecked
                                     : Qt::Unchecked);
}

// File names on disk are bytes; Qt's paths are decoded with the file-name encoding.
std::string localPath(const QString &path) {
    return QFile::encodeName(path).toStdString();
}

QLineEdit *resultField() {
    auto *field = new QLineEdit;
    field->setReadOnly(true);
    field->setPlaceholderText(ViewController::tr("no result yet"));
    return field;
}

} // namespace

ViewController::ViewController(ViewServices services, QWidget *parent)
    : QMainWindow(parent), services_(std::move(services)),
      bench_(logQueue_, services_.calls, services_.stdSizes) {
    bench_.setProgressSink(&runProgress_);
    bench_.setCancelToken(&cancelToken_);
    buildWidgets();
    buildMenus();
    pollTimer_.setInterval(pollMilliseconds);
    connect(&pollTimer_, &QTimer::timeout, this, [this] {
        flushLog();
        showProgress();
    });
    viewDidLoad();
}

ViewController::~ViewController() {
    if (runThread_) {
        cancelToken_.cancel();
        runThread_->wait();
        delete runThread_;
    }
}

void ViewController::buildWidgets() {
    filesizeTextbox = new QLineEdit;
    sizePopup = new QComboBox;
    contentPopup = new QComboBox;
    repeatsTextbox = new QLineEdit;
    lengthTextbox = new QLineEdit;
    noCacheCheckbox = new QCheckBox(tr("Bypass the cache on reads"));
    isVerboseCheckbox = new QCheckBox(tr("Verbose: a line for every file"));
    isRandomSizes = new QCheckBox(tr("Random sizes"));
    writeResultTextbox = resultField();
    readResultTextbox = resultField();
    outputTextbox = new LogView;

    filesizeTextbox->setObjectName("filesizeTextbox");
    repeatsTextbox->setObjectName("repeatsTextbox");
    lengthTextbox->setObjectName("lengthTextbox");
    outputTextbox->setObjectName("outputTextbox");

    auto *sizeRow = new QHBoxLayout;
    sizeRow->addWidget(filesizeTextbox, 1);
    sizeRow->addWidget(sizePopup);

    auto *fileBox = new QGroupBox(tr("Test files"));
    auto *fileForm = new QFormLayout(fileBox);
    fileForm->addRow(tr("File size"), sizeRow);
    fileForm->addRow(tr("Fill byte"), contentPopup);

    filesizeTextbox->setToolTip(tr("Size of the file that Write File writes (decimal units)"));
    contentPopup->setToolTip(tr("The byte every written test file is filled with"));
    repeatsTextbox->setToolTip(tr("Passes of the multi-file and mixed tests"));
    lengthTextbox->setToolTip(tr("Files in each pass when Random sizes is on"));

    auto *runBox = new QGroupBox(tr("Series of files"));
    auto *runForm = new QFormLayout(runBox);
    runForm->addRow(tr("Repeats"), repeatsTextbox);
    runForm->addRow(tr("Files per random pass"), lengthTextbox);
    runForm->addRow(isRandomSizes);
    runForm->addRow(noCacheCheckbox);
    runForm->addRow(isVerboseCheckbox);

    auto *testBox = new QGroupBox(tr("Tests"));
    auto *testColumn = new QVBoxLayout(testBox);
    const auto addTestButton = [&](const QString &title, void (ViewController::*slot)()) {
        auto *button = new QPushButton(title);
        connect(button, &QPushButton::clicked, this, slot);
        testColumn->addWidget(button);
        panelControls_.push_back(button);
    };
    addTestButton(tr("Write File…"), &ViewController::writeFileButton);
    addTestButton(tr("Read File…"), &ViewController::readFile);
    addTestButton(tr("Multi-Write Test…"), &ViewController::runMultiWriteTest);
    addTestButton(tr("Multi-Read Test…"), &ViewController::runMultiReadTest);
    addTestButton(tr("Mixed Test…"), &ViewController::runMixedTest);

    auto *resultBox = new QGroupBox(tr("Results"));
    auto *resultForm = new QFormLayout(resultBox);
    resultForm->addRow(tr("Write"), writeResultTextbox);
    resultForm->addRow(tr("Read"), readResultTextbox);

    auto *panel = new QWidget;
    auto *panelColumn = new QVBoxLayout(panel);
    panelColumn->addWidget(fileBox);
    panelColumn->addWidget(runBox);
    panelColumn->addWidget(testBox);
    panelColumn->addWidget(resultBox);
    panelColumn->addStretch(1);
    auto *panelScroll = new QScrollArea;
    panelScroll->setWidget(panel);
    panelScroll->setWidgetResizable(true);
    panelScroll->setFrameShape(QFrame::NoFrame);
    panelScroll->setMinimumWidth(panel->sizeHint().width() + 24);

    for (QWidget *control : std::initializer_list<QWidget *>{
             filesizeTextbox, sizePopup, contentPopup, repeatsTextbox, lengthTextbox,
             noCacheCheckbox, isVerboseCheckbox, isRandomSizes})
        panelControls_.push_back(control);

    progressArea = new ProgressPanel;
    cancelButton = progressArea->cancelButton;
    connect(progressArea, &ProgressPanel::cancelClicked, this, &ViewController::cancelTest);
    progressArea->hide();

    rateChart = new RateChart;
    rateChart->setObjectName("rateChart");
    mainTabs = new QTabWidget;
    mainTabs->setObjectName("mainTabs");
    mainTabs->setDocumentMode(true);
    mainTabs->addTab(outputTextbox, tr("Log"));
    mainTabs->addTab(rateChart, tr("Chart"));

    auto *logColumn = new QWidget;
    auto *logLayout = new QVBoxLayout(logColumn);
    logLayout->setContentsMargins(0, 0, 0, 0);
    logLayout->addWidget(mainTabs, 1);
    logLayout->addWidget(progressArea);

    auto *splitter = new QSplitter;
    splitter->addWidget(panelScroll);
    splitter->addWidget(logColumn);
    splitter->setStretchFactor(1, 1);
    splitter->setChildrenCollapsible(false);
    setCentralWidget(splitter);
    warningsLabel = new WarningsLabel;
    statusBar()->addPermanentWidget(warningsLabel, 1);
    resize(1100, 720);
}

void ViewController::buildMenus() {
    const auto command = [this](QMenu *menu, const QString &title, const QKeySequence &key,
                                void (ViewController::*slot)()) {
        QAction *action = menu->addAction(title);
        action->setShortcut(key);
        connect(action, &QAction::triggered, this, slot);
        return action;
    };
    QMenu *fileMenu = menuBar()->addMenu(tr("&File"));
    saveLogAction =
        command(fileMenu, tr("Save Log…"), QKeySequence::Save, &ViewController::saveContents);
    saveChartAction = fileMenu->addAction(tr("Save Chart…"));
    connect(saveChartAction, &QAction::triggered, this, &ViewController::saveChart);
    saveChartAction->setEnabled(false);
    exportResultsAction = fileMenu->addAction(tr("Export Results…"));
    connect(exportResultsAction, &QAction::triggered, this, &ViewController::exportResults);
    exportResultsAction->setEnabled(false);
    fileMenu->addSeparator();
    closeAction = fileMenu->addAction(tr("Close Window"));
    closeAction->setShortcut(QKeySequence::Close);
    connect(closeAction, &QAction::triggered, this, &QWidget::close);
    QAction *quitAction = fileMenu->addAction(tr("Quit"));
    quitAction->setShortcut(QKeySequence::Quit);
    quitAction->setMenuRole(QAction::QuitRole);
    connect(quitAction, &QAction::triggered, this, &QWidget::close);

    QMenu *testMenu = menuBar()->addMenu(tr("&Test"));
    writeFileAction = command(testMenu, tr("Write File…"), QKeySequence(Qt::CTRL | Qt::Key_1),
                              &ViewController::writeFileButton);
    readFileAction = command(testMenu, tr("Read File…"), QKeySequence(Qt::CTRL | Qt::Key_2),
                             &ViewController::readFile);
    multiWriteAction =
        command(testMenu, tr("Multi-Write Test…"), QKeySequence(Qt::CTRL | Qt::Key_3),
                &ViewController::runMultiWriteTest);
    multiReadAction = command(testMenu, tr("Multi-Read Test…"), QKeySequence(Qt::CTRL | Qt::Key_4),
                              &ViewController::runMultiReadTest);
    mixedTestAction = command(testMenu, tr("Mixed Test…"), QKeySequence(Qt::CTRL | Qt::Key_5),
                              &ViewController::runMixedTest);
    testMenu->addSeparator();
    cancelAction = command(testMenu, tr("Cancel Test"), QKeySequence(Qt::Key_Escape),
                           &ViewController::cancelTest);
    cancelAction->setEnabled(false);
    testCommands_ = {writeFileAction, readFileAction,  multiWriteAction,
                     multiReadAction, mixedTestAction, saveLogAction};

    QMenu *viewMenu = menuBar()->addMenu(tr("&View"));
    incFontAction =
        command(viewMenu, tr("Bigger"), QKeySequence::ZoomIn, &ViewController::incFontSize);
    decFontAction =
        command(viewMenu, tr("Smaller"), QKeySequence::ZoomOut, &ViewController::decFontSize);

    helpMenu = menuBar()->addMenu(tr("&Help"));
    openHelpAction = helpMenu->addAction(tr("Quorlan Help"));
    openHelpAction->setShortcut(QKeySequence::HelpContents);
    helpMenu->addSeparator();
    updateStatusAction = helpMenu->addAction(tr("Update not checked"));
    updateStatusAction->setEnabled(false);
}

void ViewController::viewDidLoad() {
    sizePopup->clear();
    sizePopup->addItems(sizeList);
    contentPopup->clear();
    contentPopup->addItems(contentList);
    theFontSize = restoreFontSize(services_.store);
    outputTextbox->setLogFontSize(theFontSize);
    bench_.theAnalyser.emplace();
    const auto &sizes = bench_.theSizes;
    bench_.theAnalyser->minSize = sizes.empty() ? 0 : *std::min_element(sizes.begin(), sizes.end());
    bench_.theAnalyser->reset();
}

void ViewController::showEvent(QShowEvent *event) {
    QMainWindow::showEvent(event);
    if (!event->spontaneous() && !running_)
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
    setPanelSettings(
        restorePanel(services_.store, panelSettings(), sizePopup->count(), contentPopup->count()));
}

PanelSettings ViewController::panelSettings() const {
    PanelSettings panel;
    panel.filesize = filesizeTextbox->text().toStdString();
    panel.sizeIndex = sizePopup->currentIndex();
    panel.contentIndex = contentPopup->currentIndex();
    panel.repeats = repeatsTextbox->text().toStdString();
    panel.length = lengthTextbox->text().toStdString();
    panel.noCache = checkBoxState(noCacheCheckbox);
    panel.verbose = checkBoxState(isVerboseCheckbox);
    panel.isRandom = checkBoxState(isRandomSizes);
    return panel;
}

void ViewController::setPanelSettings(const PanelSettings &panel) {
    filesizeTextbox->setText(QString::fromStdString(panel.filesize));
    sizePopup->setCurrentIndex(panel.sizeIndex);
    contentPopup->setCurrentIndex(panel.contentIndex);
    repeatsTextbox->setText(QString::fromStdString(panel.repeats));
    lengthTextbox->setText(QString::fromStdString(panel.length));
    setCheckBoxState(noCacheCheckbox, panel.noCache);
    setCheckBoxState(isVerboseCheckbox, panel.verbose);
    setCheckBoxState(isRandomSizes, panel.isRandom);
}

void ViewController::closeEvent(QCloseEvent *event) {
    if (running_) {
        // The run ends with its report and footer first; the window closes when it has.
        closeWhenRunEnds_ = true;
        cancelTest();
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
    if (services_.terminate)
        services_.terminate();
    return true;
}

void ViewController::writeFileButton() {
    const FilePanelRequest request = savePanelRequest({"tiff"}, QString());
    runOnChosenPath(request, tr("Writing one file"), ResultFields::None,
                    [this](const std::string &file, const PanelSettings &panel) {
                        bench_.runWriteTest(file, panel);
                    });
}

void ViewController::readFile() {
    FilePanelRequest request;
    request.kind = FilePanelRequest::Kind::OpenFile;
    request.acceptLabel = tr("Read");
    request.showsHiddenFiles = true;
    request.treatsPackagesAsFolders = true;
    request.asSheet = true;
    runOnChosenPath(request, tr("Reading one file"), ResultFields::None,
                    [this](const std::string &file, const PanelSettings &panel) {
                        bench_.runReadTest(file, panel);
                    });
}

FilePanelRequest ViewController::savePanelRequest(const QStringList &types,
                                                  const QString &proposedName) {
    FilePanelRequest request;
    request.kind = FilePanelRequest::Kind::SaveFile;
    request.canCreateFolders = true;
    request.allowedFileTypes = types;
    request.proposedName = proposedName;
    return request;
}

FilePanelRequest ViewController::testFolderRequest() {
    FilePanelRequest request;
    request.kind = FilePanelRequest::Kind::ChooseFolder;
    request.canCreateFolders = true;
    request.showsResizeIndicator = true;
    request.showsHiddenFiles = true;
    return request;
}

void ViewController::runMultiWriteTest() {
    runOnChosenPath(testFolderRequest(), tr("Multi-write test"), ResultFields::Write,
                    [this](const std::string &folder, const PanelSettings &panel) {
                        bench_.performMultiWrite(folder, panel);
                    });
}

void ViewController::runMultiReadTest() {
    runOnChosenPath(testFolderRequest(), tr("Multi-read test"), ResultFields::Read,
                    [this](const std::string &folder, const PanelSettings &panel) {
                        bench_.performMultiRead(folder, panel);
                    });
}

void ViewController::runMixedTest() {
    runOnChosenPath(testFolderRequest(), tr("Mixed test"), ResultFields::Both,
                    [this](const std::string &folder, const PanelSettings &panel) {
                        bench_.performMixedTest(folder, panel);
                    });
}

void ViewController::runOnChosenPath(const FilePanelRequest &request, const QString &title,
                                     ResultFields fields, PathTest test) {
    if (running_)
        return; // one test at a time; the commands are disabled meanwhile
    QPointer self(this);
    services_.panels.begin(
        request, this,
        [self, title, fields, test = std::move(test)](int response, std::optional<QString> path) {
            if (!self || response != panelOKResponse || !path)
                return;
            self->startRun(
                title, *path, fields,
                [test, file = localPath(*path)](const PanelSettings &panel) { test(file, panel); });
        });
}

void ViewController::startRun(const QString &title, const QString &target, ResultFields fields,
                              std::function<void(const PanelSettings &)> test) {
    if (running_) {
        // Two panels were open and both confirmed: the second test is not started.
        statusBar()->showMessage(tr("A test is running; the new one was not started."), 5000);
        return;
    }
    const PanelSettings panel = panelSettings();
    runFields_ = fields;
    cancelToken_.clear();
    runProgress_.clear();
    // A single-file test is one request that cannot be stopped part way.
    // Only the mixed test writes once before its read passes.
    progressArea->begin(title, target, fields != ResultFields::None, fields == ResultFields::Both);
    setRunning(true);
    runClock_.start();
    warningsLabel->setWarnings({});
    runThread_ = QThread::create([this, test = std::move(test), panel] {
        test(panel);
        examineRun();
    });
    connect(runThread_, &QThread::finished, this, &ViewController::runEnded, Qt::QueuedConnection);
    runThread_->start();
    pollTimer_.start();
    emit runStarted();
}

void ViewController::runEnded() {
    runThread_->wait();
    delete runThread_;
    runThread_ = nullptr;
    pollTimer_.stop();
    flushLog();
    if (runFields_ == ResultFields::Write || runFields_ == ResultFields::Both)
        writeResultTextbox->setText(QString::fromStdString(bench_.writeResultText()));
    if (runFields_ == ResultFields::Read || runFields_ == ResultFields::Both)
        readResultTextbox->setText(QString::fromStdString(bench_.readResultText()));
    if (runFields_ != ResultFields::None && bench_.theAnalyser)
        rateChart->setData(rateChartData(*bench_.theAnalyser));
    warningsLabel->setWarnings(runWarnings_);
    setRunning(false);
    emit runFinished();
    if (closeWhenRunEnds_)
        close();
}

void ViewController::setRunning(bool running) {
    running_ = running;
    for (QWidget *control : panelControls_)
        control->setEnabled(!running);
    for (QAction *action : testCommands_)
        action->setEnabled(!running);
    cancelAction->setEnabled(running && progressArea->canCancel());
    progressArea->setVisible(running);
    updateFileCommands();
}

void ViewController::updateFileCommands() {
    saveChartAction->setEnabled(!running_ && rateChart->hasData());
    exportResultsAction->setEnabled(!running_ && !bench_.lastRun.command.empty());
}

void ViewController::examineRun() {
    // statfs and stat may wait on a slow volume, so they run here rather than on the GUI thread.
    runWarnings_ = runWarnings(bench_.lastRun, services_.calls);
    runFileSystemType_ = fileSystemOf(services_.calls, bench_.lastRun.path).type;
}

void ViewController::cancelTest() {
    if (!running_ || !progressArea->canCancel())
        return;
    cancelToken_.cancel();
    progressArea->cancelling();
    cancelAction->setEnabled(false);
}

void ViewController::flushLog() {
    outputTextbox->appendText(logQueue_.take());
}

void ViewController::appendToLog(const QString &text) {
    flushLog();
    outputTextbox->appendText(text);
}

void ViewController::showProgress() {
    if (const std::optional<Progress> progress = runProgress_.takeChange())
        progressArea->show(*progress, static_cast<double>(runClock_.elapsed()) / 1000.0);
}

void ViewController::saveContents() {
    if (running_)
        return; // one test at a time; the commands are disabled meanwhile
    flushLog();
    const QString text = outputTextbox->logText();
    const FilePanelRequest request =
        savePanelRequest({"text", "txt"}, QString::fromStdString(savedLogName(bench_.startDate)));
    QPointer self(this);
    services_.panels.begin(request, this, [self, text](int response, std::optional<QString> path) {
        if (!self || response != panelOKResponse || !path)
            return;
        const std::optional<std::string> failure =
            saveLogText(localPath(*path), text.toStdString());
        if (failure)
            self->appendToLog(QString::fromStdString(*failure));
    });
}

void ViewController::saveChart() {
    if (running_ || !rateChart->hasData())
        return; // the command is disabled meanwhile
    const FilePanelRequest request = savePanelRequest({"png"}, QStringLiteral("Quorlan-chart.png"));
    QPointer self(this);
    services_.panels.begin(request, this, [self](int response, std::optional<QString> path) {
        if (!self || response != panelOKResponse || !path)
            return;
        // A failure goes to the status bar: the log holds test output only.
        QString error;
        if (self->rateChart->savePng(*path, &error))
            self->statusBar()->showMessage(tr("Chart saved to %1").arg(*path), 5000);
        else
            self->statusBar()->showMessage(error);
    });
}

void ViewController::exportResults() {
    if (running_ || bench_.lastRun.command.empty())
        return; // the command is disabled meanwhile
    const FilePanelRequest request =
        savePanelRequest({"json", "csv"}, QStringLiteral("Quorlan-results.json"));
    // The run as it is now: a test started while the panel is open does not change what is saved.
    const RunRecord run = bench_.lastRun;
    const ExportContext context{bench_.macType, bench_.macOSVersion, bench_.quorlanVersion,
                                runFileSystemType_};
    QPointer self(this);
    services_.panels.begin(
        request, this, [self, run, context](int response, std::optional<QString> path) {
            if (!self || response != panelOKResponse || !path)
                return;
            const bool csv = path->endsWith(QLatin1String(".csv"), Qt::CaseInsensitive);
            const QByteArray bytes = csv ? resultsCsv(run, context) : resultsJson(run, context);
            const std::optional<std::string> failure = saveTextFile(
                "results", localPath(*path), std::string_view(bytes.constData(), bytes.size()));
            // Like the chart, the results are not test output: the status bar tells, not the log.
            if (failure)
                self->statusBar()->showMessage(QString::fromStdString(*failure));
            else
                self->statusBar()->showMessage(tr("Results saved to %1").arg(*path), 5000);
        });
}

void ViewController::incFontSize() {
    theFontSize = std::min(theFontSize + 1.0, maxFontSize);
    storeFontSize();
    restyleOutputLog();
}

void ViewController::decFontSize() {
    theFontSize = std::max(theFontSize - 1.0, minFontSize);
    storeFontSize();
    restyleOutputLog();
}

void ViewController::storeFontSize() {
    services_.store.setDouble(settingKeys::fontSize, theFontSize);
}

void ViewController::restyleOutputLog() {
    outputTextbox->setLogFontSize(theFontSize);
}

} // namespace quorlan
