#include "WindowFixture.h"

#include "app/WarningsLabel.h"

#include <QAction>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStatusBar>

#include <filesystem>
#include <fstream>

using namespace quorlan;
using namespace quorlan::testing;
namespace fs = std::filesystem;

namespace {

const QString shortRunWarning = QStringLiteral(
    "Every file of this run is under 10 MB (the largest 40000 bytes): rates of transfers this "
    "short mean little.");

} // namespace

TEST_F(WindowTest, ExportResultsSavesTheLastRunAsJsonOrCsv) {
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
    const FilePanelRequest &request = panels.requests.back();
    EXPECT_EQ(request.kind, FilePanelRequest::Kind::SaveFile);
    EXPECT_EQ(request.allowedFileTypes, QStringList({"json", "csv"}));
    EXPECT_EQ(request.proposedName, "Quorlan-results.json");

    const QJsonObject saved =
        QJsonDocument::fromJson(QByteArray::fromStdString(fileContents(json))).object();
    EXPECT_EQ(saved["format"].toInteger(), 1);
    EXPECT_EQ(saved["command"].toString(), "multi-write");
    EXPECT_EQ(saved["path"].toString().toStdString(), tests);
    EXPECT_EQ(saved["machine"].toObject()["macOSVersion"].toString().toStdString(),
              window->model().macOSVersion);
    EXPECT_FALSE(saved["fileSystemType"].toString().isEmpty());
    const QJsonArray results = saved["results"].toArray();
    const std::vector<Result> &writes = window->model().theAnalyser->theWrites;
    ASSERT_EQ(results.size(), static_cast<qsizetype>(writes.size()));
    for (qsizetype i = 0; i < results.size(); ++i) {
        EXPECT_EQ(results[i]["size"].toInteger(), writes[i].size);
        EXPECT_EQ(results[i]["time"].toDouble(), writes[i].time);
    }
    EXPECT_EQ(window->statusBar()->currentMessage(),
              "Results saved to " + QString::fromStdString(json));

    // A name ending in .csv chooses the CSV; the log is left as the test left it.
    const std::string logBefore = log();
    const std::string csv = folder + "/run.CSV";
    panels.answers.push_back({panelOKResponse, QString::fromStdString(csv)});
    window->exportResults();
    EXPECT_EQ(fileContents(csv).rfind("type,typeCode,size,time,rate,cache,path\r\nwrite,2,", 0),
              0u);

    // A failure is told in the status bar, not in the log.
    const std::string missing = folder + "/missing/run.json";
    panels.answers.push_back({panelOKResponse, QString::fromStdString(missing)});
    window->exportResults();
    EXPECT_FALSE(fs::exists(missing));
    EXPECT_EQ(window->statusBar()->currentMessage().toStdString(),
              "The results could not be saved as \u201crun.json\u201d in \u201c" + folder +
                  "/missing\u201d: No such file or directory.");
    // A cancelled panel saves nothing.
    panels.answers.push_back({panelCancelResponse, std::nullopt});
    window->exportResults();
    EXPECT_EQ(log(), logBefore);
}

TEST_F(WindowTest, WarningsOfTheLastRunStandInTheStatusAreaAndClearAtTheNextRun) {
    EXPECT_FALSE(part<WarningsLabel>("warningsLabel")->isVisible());
    runCommand(&ViewController::runMultiWriteTest, folder);
    EXPECT_EQ(part<WarningsLabel>("warningsLabel")->warnings(), QStringList({shortRunWarning}));
    EXPECT_TRUE(part<WarningsLabel>("warningsLabel")->isVisible());
    EXPECT_EQ(log().find("Every file of this run"), std::string::npos) << "never in the log";

    // While the next test runs, the old warnings are gone; then the new run's own stand there.
    gate.holdAt = "/empty";
    writeFile(folder + "/empty", 0);
    panels.answers.push_back({panelOKResponse, QString::fromStdString(folder + "/empty")});
    QSignalSpy finished(window.get(), &ViewController::runFinished);
    window->readFile();
    ASSERT_TRUE(gate.waitUntilHeld());
    EXPECT_FALSE(part<WarningsLabel>("warningsLabel")->isVisible());
    EXPECT_FALSE(part<QAction>("exportResultsAction")->isEnabled()) << "a test is running";
    gate.release();
    ASSERT_TRUE(finished.wait(30000));
    EXPECT_EQ(part<WarningsLabel>("warningsLabel")->warnings(),
              QStringList({"Every file of this run is under 10 MB (the largest 0 bytes): rates of "
                           "transfers this short mean little."}));
}
