#include "WindowFixture.h"

#include "app/ControlPanel.h"
#include "app/ProgressPanel.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QMenu>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>

#include <filesystem>

using namespace quorlan;
using namespace quorlan::testing;
namespace fs = std::filesystem;

// The first window on an empty store shows the defaults; closing it saves the panel, and the next
// window restores it.
TEST_F(WindowTest, FirstLaunchShowsTheDefaultsAndTheNextWindowRestoresThePanel) {
    EXPECT_EQ(window->windowTitle(), "Quorlan Benchmarking");
    EXPECT_EQ(panelFields(window->panelSettings()), "1|0|0|1|5|0|0|0");
    EXPECT_EQ(part<LogView>("outputTextbox")->logFontSize(), 12.0);
    EXPECT_EQ(window->model().macType.rfind("Mac model = test-model\n", 0), 0u);
    EXPECT_EQ(window->model().quorlanVersion, QUORLAN_VERSION);
    EXPECT_TRUE(log().empty());
    EXPECT_FALSE(part<ProgressPanel>("progressArea")->isVisible());

    // Without a version string the window keeps the version it had when it appears again.
    QCoreApplication::setApplicationVersion(QString());
    window->model().quorlanVersion = "1.9";
    window->hide();
    window->show();
    EXPECT_EQ(window->model().quorlanVersion, "1.9");
    QCoreApplication::setApplicationVersion(QUORLAN_VERSION);

    part<ControlPanel>("")->setSettings({"", 2, 3, "3", "seven", 1, -1, 1}); // mixed: off
    EXPECT_TRUE(window->close());
    EXPECT_EQ(terminations, 1);

    store = std::make_unique<SettingsStore>(settingsFile);
    window = makeWindow();
    EXPECT_EQ(panelFields(window->panelSettings()), "|2|3|3|seven|1|0|1"); // empty stays empty
}

// The panel of each command (the file to write, the file to read, the folders of the three
// multi-file tests, the log) is set up for it; cancelled or empty, it leaves everything as it was.
TEST_F(WindowTest, EveryPanelIsSetUpForItsCommandAndCancellingItChangesNothing) {
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
    EXPECT_EQ(fs::directory_iterator(folder), fs::directory_iterator()) << "nothing written";
    std::string requests;
    for (std::size_t i = 0; i < panels.requests.size(); i += 2)
        requests += describe(panels.requests[i]) + "\n";
    EXPECT_TRUE(matchesSnapshot(requests, "window-panel-requests.txt"));
}

TEST_F(WindowTest, SingleFileWriteAndReadLogTheirLinesAndLeaveTheResultFields) {
    part<ControlPanel>("")->setSettings({"5", 1, 1, "1", "5", 0, 0, 0}); // 5 MB of 0x88
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
    EXPECT_EQ(resultFields(), "before|");
    EXPECT_TRUE(window->model().theAnalyser->theWrites.empty());
}

// The mixed test logs its run and fills both result fields; each multi-file test fills its own
// with its own rate and leaves the other's.
TEST_F(WindowTest, MultiFileTestsFillTheirOwnResultFields) {
    const Analyser &results = *window->model().theAnalyser;
    part<QCheckBox>("isVerboseCheckbox")->setChecked(true);
    runCommand(&ViewController::runMixedTest, folder);
    EXPECT_TRUE(matchesGolden(log(), "window-mixed-verbose.txt", folder)) << log();
    const std::string mixedRead = results.theReadResult;
    EXPECT_EQ(resultFields(), results.theWriteResult + "|" + mixedRead);

    const std::string multi = folder + "/multi"; // apart: the multi-read reads every file
    fs::create_directory(multi);
    part<QLineEdit>("repeatsTextbox")->setText("2");
    runCommand(&ViewController::runMultiWriteTest, multi);
    const std::string written = results.theWriteResult;
    EXPECT_TRUE(written.ends_with("/s") && written != "0.00 MB/s") << written;
    EXPECT_EQ(resultFields(), written + "|" + mixedRead);
    EXPECT_NE(log().find("\nWrite = 4\n"), std::string::npos);

    runCommand(&ViewController::runMultiReadTest, multi);
    EXPECT_EQ(resultFields(), written + "|" + results.theReadResult);
    EXPECT_NE(log().find("\nRead (regular) n = 8\n"), std::string::npos) << "two passes of 4";
}

// While a test runs its lines and progress reach the window, the panel and the commands are
// locked (the font size is not), and Cancel ends the run after the file in progress.
TEST_F(WindowTest, TheRunningTestLocksThePanelAndCancelStillEndsTheRun) {
    part<QLineEdit>("repeatsTextbox")->setText("3");
    part<QCheckBox>("isVerboseCheckbox")->setChecked(true);
    startHeldAt(&ViewController::runMultiWriteTest, folder, "/1-1.tiff");
    // The first file's line and the progress reach the window through the log queue's polls.
    ASSERT_TRUE(QTest::qWaitFor([this] {
        return part<QLabel>("progressStep")->text() == "pass 1 of 3, file 2 of 2" && !log().empty();
    }));

    const auto enabledControls = [this] {
        int count = 0;
        for (const char *name :
             {"filesizeTextbox", "sizePopup", "contentPopup", "repeatsTextbox", "lengthTextbox",
              "noCacheCheckbox", "isVerboseCheckbox", "isRandomSizes"})
            count += part<QWidget>(name)->isEnabled();
        return count;
    };
    EXPECT_EQ(enabledControls(), 0) << "every control of the panel is locked";
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
    releaseAndWaitForTheEnd();
    EXPECT_FALSE(fs::exists(folder + "/2-0.tiff")) << "the file in progress was the last";
    EXPECT_TRUE(matchesGolden(log(), "window-multi-write-cancelled.txt", folder)) << log();
    EXPECT_EQ(resultFields(), window->model().theAnalyser->theWriteResult + "|");
    EXPECT_EQ(enabledControls(), 8);
    EXPECT_FALSE(part<ProgressPanel>("progressArea")->isVisible());
}

TEST_F(WindowTest, ClosingDuringARunCancelsItThenSavesAndQuits) {
    part<QLineEdit>("repeatsTextbox")->setText("4");
    startHeldAt(&ViewController::runMultiWriteTest, folder, "/1-0.tiff");
    EXPECT_FALSE(window->close()) << "the window waits for the run";
    EXPECT_EQ(terminations, 0);
    releaseAndWaitForTheEnd();
    QTest::qWait(20);
    EXPECT_FALSE(window->isVisible());
    EXPECT_EQ(terminations, 1);
    EXPECT_FALSE(fs::exists(folder + "/1-1.tiff"));
    EXPECT_NE(log().find("Ended at "), std::string::npos) << "the run ended with its footer";
    EXPECT_EQ(SettingsStore(settingsFile).string("repeats"), QString("4"));
}

// A step from any size, stored ones beyond the limits too, lands within 4 to 60 points and is
// stored at once; the log's earlier text takes the new size.
TEST_F(WindowTest, FontSizeStepsStayWithinTheLimitsAndAreStoredAtOnce) {
    part<LogView>("outputTextbox")->appendText("earlier text\n");
    const std::tuple<double, bool, double> cases[] = {
        {12, true, 13},  {59.5, true, 60}, {60, true, 60},  {72, true, 60},
        {72, false, 71}, {4.5, true, 5.5}, {4.5, false, 4}, {4, false, 4}};
    for (const auto &[from, larger, expected] : cases) {
        window->theFontSize = from;
        larger ? window->incFontSize() : window->decFontSize();
        EXPECT_EQ(window->theFontSize, expected) << from;
        EXPECT_EQ(SettingsStore(settingsFile).doubleValue("fontSize"), expected) << from;
        EXPECT_EQ(part<LogView>("outputTextbox")->logFontSize(), expected) << from;
    }
    store->setDouble("fontSize", 72.0); // a stored size has no upper limit
    window = makeWindow();
    EXPECT_EQ(part<LogView>("outputTextbox")->logFontSize(), 72.0);
}

// Help ▸ About Quorlan: a box over the window with the build's version, the licence and the
// project's address; closed, it is deleted.
TEST_F(WindowTest, AboutBoxNamesTheVersionTheLicenceAndTheAddress) {
    QAction *about = part<QAction>("aboutAction");
    EXPECT_TRUE(part<QMenu>("helpMenu")->actions().contains(about));
    EXPECT_EQ(about->text(), "About Quorlan");
    about->trigger();
    QPointer<QMessageBox> box = part<QMessageBox>("aboutBox");
    EXPECT_TRUE(box->isVisible());
    EXPECT_EQ(box->windowModality(), Qt::WindowModal);
    EXPECT_EQ(box->windowTitle(), "About Quorlan");
    EXPECT_EQ(box->textFormat(), Qt::RichText);
    EXPECT_TRUE(matchesGolden(box->text().toStdString(), "about-box.txt", QUORLAN_PROJECT_URL));
    EXPECT_TRUE(box->text().startsWith("<h3>Quorlan " QUORLAN_VERSION "<"));
    box->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(box.isNull());
}
