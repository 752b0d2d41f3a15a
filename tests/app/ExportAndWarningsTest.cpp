#include "WindowFixture.h"

#include "app/RateChart.h"
#include "app/WarningsLabel.h"
#include "log/SavedLog.h"

#include <QAction>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStatusBar>
#include <QTabWidget>

using namespace quorlan;
using namespace quorlan::testing;

// The chart and the results are of the last multi-file test, saved when no test runs; the log
// stays in front. Results go to JSON or CSV by the name's ending. A failed save of the results,
// the chart or the log is one sentence: the log's in the log, the others' in the status bar. The
// last run's warnings stand in the status area, never in the log, and are gone while a test runs.
TEST_F(WindowTest, AfterEachRunItsChartResultsAndWarningsAreShownAndSaved) {
    const RateChart *chart = part<RateChart>("rateChart");
    const auto *warnings = part<WarningsLabel>("warningsLabel");
    // The saving commands, the files of the chart's series and the warnings, as they are shown.
    const auto state = [this, chart, warnings](const char *when) {
        std::string text =
            std::string("== ") + when + "\nsaving the chart " +
            (part<QAction>("saveChartAction")->isEnabled() ? "on" : "off") + ", the results " +
            (part<QAction>("exportResultsAction")->isEnabled() ? "on" : "off") + "\nchart:";
        for (const RateSeries &series : chart->data().series)
            text += " " + series.name + " " + std::to_string(series.points.size());
        return text + "\nwarnings" + (warnings->isVisible() ? ": " : " hidden: ") +
               warnings->warnings().join(' ').toStdString() + "\n";
    };
    std::string states = state("before any run");
    window->saveChart();
    window->exportResults();
    EXPECT_TRUE(panels.requests.empty()) << "nothing to save yet";

    part<QLineEdit>("repeatsTextbox")->setText("2");
    runCommand(&ViewController::runMultiWriteTest, folder);
    states += state("after a multi-write of two passes");
    const auto *tabs = part<QTabWidget>("mainTabs");
    EXPECT_EQ(tabs->currentWidget(), part<LogView>("outputTextbox"));
    EXPECT_EQ(tabs->tabText(0) + "," + tabs->tabText(1), "Log,Chart");
    EXPECT_EQ(log().find("Every file of this run"), std::string::npos) << "never in the log";
    runCommand(&ViewController::writeFileButton, folder + "/one.tiff");
    states += state("after a single-file write");
    part<QLineEdit>("repeatsTextbox")->setText("1");
    startHeldAt(&ViewController::runMixedTest, folder, "/1.tiff");
    states += state("while a mixed test runs");
    releaseAndWaitForTheEnd();
    states += state("after the mixed test");

    // The saved log has the text of when its panel opened, under the dated name.
    window->saveContents();
    EXPECT_EQ(panels.requests.back().proposedName.toStdString(),
              savedLogName(window->model().startDate));
    const std::string atOpening = log();
    window->appendToLog("appended while the panel was open\n");
    panels.answerPending(panelOKResponse, QString::fromStdString(folder + "/log ü.text"));
    EXPECT_EQ(fileContents(folder + "/log ü.text"), atOpening);
    const std::string logBefore = log();

    const std::string png = folder + "/chart ü.png";
    panels.answers.push_back({panelOKResponse, QString::fromStdString(png)});
    window->saveChart();
    EXPECT_EQ(describe(panels.requests.back()),
              "save \"\" [png] \"Quorlan-chart.png\" new-folders hidden");
    EXPECT_GE(QImage(QString::fromStdString(png), "PNG").width(), 400);

    const std::string json = folder + "/run.json";
    panels.answers.push_back({panelOKResponse, QString::fromStdString(json)});
    window->exportResults();
    EXPECT_EQ(describe(panels.requests.back()),
              "save \"\" [json,csv] \"Quorlan-results.json\" new-folders hidden");
    const QJsonObject saved =
        QJsonDocument::fromJson(QByteArray::fromStdString(fileContents(json))).object();
    EXPECT_EQ(saved["command"].toString(), "mixed");
    EXPECT_EQ(saved["path"].toString().toStdString(), folder);
    EXPECT_EQ(saved["machine"].toObject()["macOSVersion"].toString(), "Test OS 1.0");
    EXPECT_EQ(saved["results"].toArray().size(), 4);
    EXPECT_EQ(window->statusBar()->currentMessage(),
              "Results saved to " + QString::fromStdString(json));
    const std::string csv = folder + "/run.CSV";
    panels.answers.push_back({panelOKResponse, QString::fromStdString(csv)});
    window->exportResults();
    EXPECT_EQ(fileContents(csv).rfind("type,typeCode,size,time,rate,cache,path\r\nwrite,2,", 0),
              0u);

    // /dev/full is a volume that is always full: the results' and the chart's sentences stand in
    // the status bar, the log's is logged.
    panels.answers.assign(3, {panelOKResponse, QStringLiteral("/dev/full")});
    states += "== saving the results, the chart and the log as /dev/full\n";
    window->exportResults();
    states += window->statusBar()->currentMessage().toStdString() + "\n";
    window->saveChart();
    states += window->statusBar()->currentMessage().toStdString() + "\n";
    EXPECT_EQ(log(), logBefore) << "saving the chart or the results logs nothing";
    window->saveContents();
    states += log().substr(logBefore.size()) + "\n";
    EXPECT_TRUE(matchesSnapshot(states, "window-after-runs.txt"));
}
