#include "WindowFixture.h"

#include "../support/GoldenMatch.h"
#include "app/LogView.h"
#include "app/ProgressPanel.h"
#include "log/SavedLog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>

#include <filesystem>
#include <fstream>

using namespace quorlan;
using namespace quorlan::testing;
namespace fs = std::filesystem;

TEST_F(WindowTest, FirstLaunchOnAnEmptyStoreShowsTheDefaults) {
    EXPECT_EQ(window->windowTitle(), "Quorlan Benchmarking");
    ASSERT_EQ(part<QComboBox>("sizePopup")->count(), 3);
    EXPECT_EQ(part<QComboBox>("sizePopup")->itemText(2), "GB");
    ASSERT_EQ(part<QComboBox>("contentPopup")->count(), 4);
    EXPECT_EQ(part<QComboBox>("contentPopup")->itemText(2), "0x1A");
    const PanelSettings panel = window->panelSettings();
    EXPECT_EQ(panel.sizeIndex, 0);
    EXPECT_EQ(panel.contentIndex, 0);
    EXPECT_EQ(panel.filesize, "1");
    EXPECT_EQ(panel.repeats, "1");
    EXPECT_EQ(panel.length, "5");
    EXPECT_EQ(panel.noCache + panel.verbose + panel.isRandom, 0);
    EXPECT_EQ(window->theFontSize, 12.0);
    EXPECT_EQ(part<LogView>("outputTextbox")->logFontSize(), 12.0);
    EXPECT_EQ(window->model().theSizes, smallSizes);
    EXPECT_NE(window->model().timebase.theDenominator, 0u);
    EXPECT_EQ(window->model().macType.rfind("Mac model = test-model\n", 0), 0u);
    EXPECT_EQ(window->model().macOSVersion, "Test OS 1.0");
    EXPECT_EQ(window->model().quorlanVersion, QUORLAN_VERSION);
    EXPECT_TRUE(log().empty());
    EXPECT_FALSE(part<ProgressPanel>("progressArea")->isVisible());
}

TEST_F(WindowTest, NoVersionStringKeepsTheVersionTheWindowHad) {
    const QString version = QCoreApplication::applicationVersion();
    QCoreApplication::setApplicationVersion(QString());
    window->model().quorlanVersion = "1.9";
    window->hide();
    window->show(); // the window appears again
    EXPECT_EQ(window->model().quorlanVersion, "1.9");
    QCoreApplication::setApplicationVersion(version);
    window->hide();
    window->show();
    EXPECT_EQ(window->model().quorlanVersion, version.toStdString());
}

TEST_F(WindowTest, ClosingSavesThePanelAndTheNextWindowRestoresIt) {
    part<QComboBox>("sizePopup")->setCurrentIndex(2);
    part<QComboBox>("contentPopup")->setCurrentIndex(3);
    part<QLineEdit>("filesizeTextbox")->setText("");
    part<QLineEdit>("repeatsTextbox")->setText("3");
    part<QLineEdit>("lengthTextbox")->setText("seven");
    part<QCheckBox>("noCacheCheckbox")->setChecked(true);
    part<QCheckBox>("isVerboseCheckbox")->setTristate(true);
    part<QCheckBox>("isVerboseCheckbox")
        ->setCheckState(Qt::PartiallyChecked); // mixed counts as off
    part<QCheckBox>("isRandomSizes")->setChecked(true);
    EXPECT_TRUE(window->close());
    EXPECT_EQ(terminations, 1);

    store = std::make_unique<SettingsStore>(settingsFile);
    window = makeWindow();
    const PanelSettings panel = window->panelSettings();
    EXPECT_EQ(panel.sizeIndex, 2);
    EXPECT_EQ(panel.contentIndex, 3);
    EXPECT_EQ(panel.filesize, ""); // stored empty, not replaced by "1"
    EXPECT_EQ(panel.repeats, "3");
    EXPECT_EQ(panel.length, "seven");
    EXPECT_EQ(panel.noCache, 1);
    EXPECT_EQ(panel.verbose, 0);
    EXPECT_EQ(panel.isRandom, 1);
}

TEST_F(WindowTest, EveryPanelIsSetUpForItsCommand) {
    window->writeFileButton();
    window->readFile();
    window->runMultiWriteTest();
    window->runMultiReadTest();
    window->runMixedTest();
    window->saveContents();
    ASSERT_EQ(panels.requests.size(), 6u);
    const FilePanelRequest &save = panels.requests[0];
    EXPECT_EQ(save.kind, FilePanelRequest::Kind::SaveFile);
    EXPECT_EQ(save.allowedFileTypes, QStringList{"tiff"});
    EXPECT_TRUE(save.canCreateFolders);
    EXPECT_TRUE(save.proposedName.isEmpty());
    EXPECT_FALSE(save.asSheet);
    const FilePanelRequest &open = panels.requests[1];
    EXPECT_EQ(open.kind, FilePanelRequest::Kind::OpenFile);
    EXPECT_EQ(open.acceptLabel, "Read");
    EXPECT_TRUE(open.showsHiddenFiles && open.treatsPackagesAsFolders && open.asSheet);
    for (std::size_t i = 2; i < 5; ++i) {
        const FilePanelRequest &folderPanel = panels.requests[i];
        EXPECT_EQ(folderPanel.kind, FilePanelRequest::Kind::ChooseFolder);
        EXPECT_TRUE(folderPanel.canCreateFolders && folderPanel.showsHiddenFiles &&
                    folderPanel.showsResizeIndicator);
        EXPECT_FALSE(folderPanel.asSheet);
    }
    const FilePanelRequest &logPanel = panels.requests[5];
    EXPECT_EQ(logPanel.allowedFileTypes, (QStringList{"text", "txt"}));
    EXPECT_EQ(logPanel.proposedName, "Quorlan-output.text");
    EXPECT_TRUE(logPanel.canCreateFolders);
}

TEST_F(WindowTest, CancelledOrEmptyPanelsLeaveEverythingUnchanged) {
    using Command = void (ViewController::*)();
    for (Command command : {&ViewController::writeFileButton, &ViewController::readFile,
                            &ViewController::runMultiWriteTest, &ViewController::runMultiReadTest,
                            &ViewController::runMixedTest, &ViewController::saveContents}) {
        panels.answers.push_back({panelCancelResponse, QString::fromStdString(folder)});
        panels.answers.push_back({panelOKResponse, std::nullopt});
        QSignalSpy started(window.get(), &ViewController::runStarted);
        (window.get()->*command)();
        (window.get()->*command)();
        QTest::qWait(20);
        EXPECT_EQ(started.count(), 0);
    }
    EXPECT_TRUE(log().empty());
    EXPECT_FALSE(window->model().startDate.has_value());
    EXPECT_EQ(fs::directory_iterator(folder), fs::directory_iterator()) << "nothing written";
}

TEST_F(WindowTest, SingleFileWriteAndReadLogTheirLinesAndLeaveTheResultFields) {
    part<QLineEdit>("filesizeTextbox")->setText("5");
    part<QComboBox>("sizePopup")->setCurrentIndex(1);
    part<QComboBox>("contentPopup")->setCurrentIndex(1);
    part<QLineEdit>("writeResultTextbox")->setText("before");
    const std::string file = folder + "/single.tiff";
    runCommand(&ViewController::writeFileButton, file);
    EXPECT_EQ(fileContents(file), std::string(5000000, '\x88'));
    EXPECT_TRUE(matchesGolden(log(), "cli-write-5MB.txt", file)) << log();

    const std::string before = log();
    part<QCheckBox>("noCacheCheckbox")->setChecked(true);
    runCommand(&ViewController::readFile, file);
    const std::string added = log().substr(before.size());
    EXPECT_TRUE(matchesGolden(added, "cli-read-nocache-5MB.txt", file)) << added;
    EXPECT_EQ(part<QLineEdit>("writeResultTextbox")->text(), "before");
    EXPECT_TRUE(part<QLineEdit>("readResultTextbox")->text().isEmpty());
    EXPECT_TRUE(window->model().theAnalyser->theWrites.empty());
}

TEST_F(WindowTest, MultiFileTestsFillTheirOwnResultFields) {
    part<QLineEdit>("repeatsTextbox")->setText("2");
    runCommand(&ViewController::runMultiWriteTest, folder);
    for (const char *name : {"1-0.tiff", "1-1.tiff", "2-0.tiff", "2-1.tiff"})
        EXPECT_TRUE(fs::exists(folder + "/" + name)) << name;
    const QString written = QString::fromStdString(window->model().theAnalyser->theWriteResult);
    EXPECT_TRUE(written.endsWith("/s") && written != "0.00 MB/s") << written.toStdString();
    EXPECT_EQ(part<QLineEdit>("writeResultTextbox")->text(), written);
    EXPECT_TRUE(part<QLineEdit>("readResultTextbox")->text().isEmpty());
    EXPECT_NE(log().find("\nWrite = 4\n"), std::string::npos);

    part<QLineEdit>("readResultTextbox")->setText("old");
    part<QLineEdit>("writeResultTextbox")->setText("kept");
    runCommand(&ViewController::runMultiReadTest, folder);
    EXPECT_EQ(part<QLineEdit>("readResultTextbox")->text().toStdString(),
              window->model().theAnalyser->theReadResult);
    EXPECT_EQ(part<QLineEdit>("writeResultTextbox")->text(), "kept");
    EXPECT_NE(log().find("\nRead (regular) n = 8\n"), std::string::npos) << "two passes of 4";
}

TEST_F(WindowTest, MixedTestLogsItsRunAndFillsBothFields) {
    part<QCheckBox>("isVerboseCheckbox")->setChecked(true);
    runCommand(&ViewController::runMixedTest, folder);
    EXPECT_TRUE(matchesGolden(log(), "window-mixed-verbose.txt", folder)) << log();
    EXPECT_EQ(part<QLineEdit>("writeResultTextbox")->text().toStdString(),
              window->model().theAnalyser->theWriteResult);
    EXPECT_EQ(part<QLineEdit>("readResultTextbox")->text().toStdString(),
              window->model().theAnalyser->theReadResult);
    EXPECT_FALSE(part<ProgressPanel>("progressArea")->isVisible());
    EXPECT_TRUE(part<QLineEdit>("filesizeTextbox")->isEnabled());
}

TEST_F(WindowTest, TheRunningTestLocksThePanelAndCancelStillEndsTheRun) {
    part<QLineEdit>("repeatsTextbox")->setText("3");
    part<QCheckBox>("isVerboseCheckbox")->setChecked(true);
    gate.holdAt = "/1-1.tiff";
    panels.answers.push_back({panelOKResponse, QString::fromStdString(folder)});
    QSignalSpy finished(window.get(), &ViewController::runFinished);
    window->runMultiWriteTest();
    ASSERT_TRUE(gate.waitUntilHeld());
    QTest::qWait(120); // a few polls: the first file's line and the progress reach the window

    EXPECT_TRUE(window->isRunning());
    EXPECT_FALSE(part<QLineEdit>("filesizeTextbox")->isEnabled());
    EXPECT_FALSE(part<QCheckBox>("isVerboseCheckbox")->isEnabled());
    EXPECT_FALSE(part<QAction>("mixedTestAction")->isEnabled());
    EXPECT_FALSE(part<QAction>("saveLogAction")->isEnabled());
    EXPECT_TRUE(part<QAction>("incFontAction")->isEnabled());
    EXPECT_TRUE(part<ProgressPanel>("progressArea")->isVisible());
    EXPECT_EQ(part<QLabel>("progressStep")->text(), "pass 1 of 3, file 2 of 2");
    EXPECT_TRUE(part<QLabel>("progressFile")->toolTip().endsWith("/1-1.tiff"));
    EXPECT_EQ(log().rfind("type,size,time,rate\nw,", 0), 0u) << "lines arrive while running";

    // Commands started meanwhile do nothing; a panel edit cannot reach the running test.
    window->runMixedTest();
    EXPECT_EQ(panels.requests.size(), 1u);
    part<QLineEdit>("repeatsTextbox")->setText("9");

    QTest::mouseClick(part<QPushButton>("cancelButton"), Qt::LeftButton);
    gate.release();
    ASSERT_TRUE(finished.wait(30000));
    EXPECT_EQ(finished.count(), 1);
    EXPECT_TRUE(fs::exists(folder + "/1-1.tiff")) << "the file in progress is finished";
    EXPECT_FALSE(fs::exists(folder + "/2-0.tiff"));
    EXPECT_NE(log().find("Test cancelled.\n\nWrite = 2\n"), std::string::npos) << log();
    EXPECT_NE(log().find("\nTest path " + folder + "\n"), std::string::npos);
    EXPECT_NE(log().find("Ended at "), std::string::npos);
    EXPECT_EQ(part<QLineEdit>("writeResultTextbox")->text().toStdString(),
              window->model().theAnalyser->theWriteResult);
    EXPECT_TRUE(part<QLineEdit>("filesizeTextbox")->isEnabled());
    EXPECT_FALSE(part<ProgressPanel>("progressArea")->isVisible());
}

TEST_F(WindowTest, ClosingDuringARunCancelsItThenSavesAndQuits) {
    part<QLineEdit>("repeatsTextbox")->setText("4");
    gate.holdAt = "/1-0.tiff";
    panels.answers.push_back({panelOKResponse, QString::fromStdString(folder)});
    QSignalSpy finished(window.get(), &ViewController::runFinished);
    window->runMultiWriteTest();
    ASSERT_TRUE(gate.waitUntilHeld());

    EXPECT_FALSE(window->close()) << "the window waits for the run";
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(terminations, 0);
    gate.release();
    ASSERT_TRUE(finished.wait(30000));
    QTest::qWait(20);
    EXPECT_FALSE(window->isVisible());
    EXPECT_EQ(terminations, 1);
    EXPECT_FALSE(fs::exists(folder + "/1-1.tiff"));
    EXPECT_NE(log().find("Test cancelled.\n"), std::string::npos);
    EXPECT_NE(log().find("Ended at "), std::string::npos);
    EXPECT_EQ(SettingsStore(settingsFile).string("repeats"), QString("4"));
}

TEST_F(WindowTest, FontSizeStaysWithinItsLimitsAndIsStoredAtOnce) {
    part<LogView>("outputTextbox")->appendText("earlier text\n");
    for (int i = 0; i < 8; ++i)
        window->incFontSize();
    EXPECT_EQ(window->theFontSize, 20.0);
    EXPECT_EQ(SettingsStore(settingsFile).doubleValue("fontSize"), 20.0) << "before any close";
    for (int i = 0; i < 42; ++i)
        window->incFontSize();
    EXPECT_EQ(window->theFontSize, 60.0);
    window->incFontSize();
    EXPECT_EQ(window->theFontSize, 60.0);
    EXPECT_EQ(SettingsStore(settingsFile).doubleValue("fontSize"), 60.0);
    EXPECT_EQ(part<LogView>("outputTextbox")->logFontSize(), 60.0) << "earlier text restyled";
    for (int i = 0; i < 60; ++i)
        window->decFontSize();
    EXPECT_EQ(window->theFontSize, 4.0);
    EXPECT_EQ(part<LogView>("outputTextbox")->logFontSize(), 4.0);

    window->theFontSize = 4.5; // only possible from a stored value
    window->incFontSize();
    EXPECT_EQ(window->theFontSize, 5.5);
    window->theFontSize = 4.5;
    window->decFontSize();
    EXPECT_EQ(window->theFontSize, 4.0);
}

TEST_F(WindowTest, StoredFontSizeIsUsedWithoutAnUpperLimit) {
    store->setDouble("fontSize", 72.0);
    window = makeWindow();
    EXPECT_EQ(window->theFontSize, 72.0);
    EXPECT_EQ(part<LogView>("outputTextbox")->logFontSize(), 72.0);
    window->decFontSize();
    EXPECT_EQ(window->theFontSize, 71.0);
}

TEST_F(WindowTest, SavedLogHasTheTextOfWhenThePanelOpenedUnderTheDatedName) {
    runCommand(&ViewController::runMultiWriteTest, folder);
    window->saveContents();
    // The name's UTC stamp itself is checked with the saved log's own tests.
    EXPECT_EQ(panels.requests.back().proposedName.toStdString(),
              savedLogName(window->model().startDate));

    const std::string atOpening = log();
    window->appendToLog("appended while the panel was open\n");
    const std::string saved = folder + "/log ü.text";
    panels.answerPending(panelOKResponse, QString::fromStdString(saved));
    EXPECT_EQ(fileContents(saved), atOpening);
}

TEST_F(WindowTest, AFailedSaveEndsTheLogWithItsDescription) {
    window->appendToLog("last line\n");
    const std::string missing = folder + "/no such folder/log.text";
    panels.answers.push_back({panelOKResponse, QString::fromStdString(missing)});
    window->saveContents();
    const std::string text = log();
    ASSERT_EQ(text.rfind("last line\n", 0), 0u);
    const std::string description = text.substr(std::string("last line\n").size());
    EXPECT_FALSE(description.empty());
    EXPECT_NE(description.find("log.text"), std::string::npos) << description;
    EXPECT_EQ(description.find('\n'), std::string::npos) << "no line feed added";
    EXPECT_FALSE(fs::exists(missing));
}
