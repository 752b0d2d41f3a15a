#include "WindowFixture.h"

#include "app/WarningsLabel.h"

#include <QAction>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStatusBar>

#include <filesystem>

using namespace quorlan;
using namespace quorlan::testing;
namespace fs = std::filesystem;

namespace {

const QString shortRunWarning = QStringLiteral(
    "Every file of this run is under 10 MB (the largest 40000 bytes): rates of transfers this "
    "short mean little.");

} // namespace

TEST_F(WindowTest, ExportResultsSavesTheLastRunAsJsonOrCsvAndSavesFailWithOneSentence) {
    EXPECT_FALSE(part<QAction>("exportResultsAction")->isEnabled()) << "nothing has run yet";
    window->exportResults();
    EXPECT_TRUE(panels.requests.empty());

    const std::string tests = folder + "/tests";
    fs::create_directory(tests);
    runCommand(&ViewController::runMultiWriteTest, tests);
    ASSERT_TRUE(part<QAction>("exportResultsAction")->isEnabled());

    const std::string json = folder + "/run.json";
    panels.answers.push_back({panelOKResponse, QString::fromStdString(json)});
    window->exportResults();
    EXPECT_EQ(describe(panels.requests.back()),
              "save \"\" [json,csv] \"Quorlan-results.json\" new-folders hidden");

    const QJsonObject saved =
        QJsonDocument::fromJson(QByteArray::fromStdString(fileContents(json))).object();
    EXPECT_EQ(saved["format"].toInteger(), 1);
    EXPECT_EQ(saved["command"].toString(), "multi-write");
    EXPECT_EQ(saved["path"].toString().toStdString(), tests);
    EXPECT_EQ(saved["machine"].toObject()["macOSVersion"].toString().toStdString(),
              window->model().macOSVersion);
    const QJsonArray results = saved["results"].toArray();
    const std::vector<Result> &writes = window->model().theAnalyser->theWrites;
    ASSERT_EQ(results.size(), static_cast<qsizetype>(writes.size()));
    EXPECT_EQ(results.last()["time"].toDouble(), writes.back().time);
    EXPECT_EQ(window->statusBar()->currentMessage(),
              "Results saved to " + QString::fromStdString(json));

    // A name ending in .csv chooses the CSV; the log is left as the test left it.
    const std::string logBefore = log();
    const std::string csv = folder + "/run.CSV";
    panels.answers.push_back({panelOKResponse, QString::fromStdString(csv)});
    window->exportResults();
    EXPECT_EQ(fileContents(csv).rfind("type,typeCode,size,time,rate,cache,path\r\nwrite,2,", 0),
              0u);

    // The results, the chart and the log fail with the same sentence: the log's in the log,
    // the others' in the status bar. /dev/full is a volume that is always full.
    const auto sentence = [](const std::string &subject) {
        return "The " + subject +
               " could not be saved as “full” in “/dev”: No space left on device.";
    };
    panels.answers.push_back({panelOKResponse, QStringLiteral("/dev/full")});
    window->exportResults();
    EXPECT_EQ(window->statusBar()->currentMessage().toStdString(), sentence("results"));
    panels.answers.push_back({panelOKResponse, QStringLiteral("/dev/full")});
    window->saveChart();
    EXPECT_EQ(window->statusBar()->currentMessage().toStdString(), sentence("chart"));
    EXPECT_EQ(log(), logBefore);
    panels.answers.push_back({panelOKResponse, QStringLiteral("/dev/full")});
    window->saveContents();
    EXPECT_EQ(log(), logBefore + sentence("log"));
}

TEST_F(WindowTest, WarningsOfTheLastRunStandInTheStatusAreaAndClearAtTheNextRun) {
    EXPECT_FALSE(part<WarningsLabel>("warningsLabel")->isVisible());
    runCommand(&ViewController::runMultiWriteTest, folder);
    EXPECT_EQ(part<WarningsLabel>("warningsLabel")->warnings(), QStringList({shortRunWarning}));
    EXPECT_TRUE(part<WarningsLabel>("warningsLabel")->isVisible());
    EXPECT_EQ(log().find("Every file of this run"), std::string::npos) << "never in the log";

    // While the next test runs, the old warnings are gone; then the new run's own stand there.
    writeFile(folder + "/empty", 0);
    startHeldAt(&ViewController::readFile, folder + "/empty", "/empty");
    EXPECT_FALSE(part<WarningsLabel>("warningsLabel")->isVisible());
    EXPECT_FALSE(part<QAction>("exportResultsAction")->isEnabled()) << "a test is running";
    releaseAndWaitForTheEnd();
    EXPECT_EQ(part<WarningsLabel>("warningsLabel")->warnings(),
              QStringList({"Every file of this run is under 10 MB (the largest 0 bytes): rates of "
                           "transfers this short mean little."}));
}
