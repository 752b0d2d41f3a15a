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
    const auto savingEnabled = [this] {
        return std::pair(part<QAction>("saveChartAction")->isEnabled(),
                         part<QAction>("exportResultsAction")->isEnabled());
    };
    EXPECT_EQ(savingEnabled(), std::pair(false, false)) << "nothing has run yet";
    window->saveChart();
    window->exportResults();
    EXPECT_TRUE(panels.requests.empty());
    const auto *warnings = part<WarningsLabel>("warningsLabel");
    EXPECT_FALSE(warnings->isVisible());
    const auto shortRun = [](const char *largest) {
        return QStringList{QString("Every file of this run is under 10 MB (the largest %1 bytes): "
                                   "rates of transfers this short mean little.")
                               .arg(largest)};
    };

    const RateChart *chart = part<RateChart>("rateChart");
    const auto chartedFiles = [chart] {
        std::string kinds;
        for (const RateSeries &series : chart->data().series)
            kinds += series.name + " " + std::to_string(series.points.size()) + ";";
        return kinds;
    };
    part<QLineEdit>("repeatsTextbox")->setText("2");
    runCommand(&ViewController::runMultiWriteTest, folder);
    EXPECT_EQ(chartedFiles(), "Write 4;");
    const auto *tabs = part<QTabWidget>("mainTabs");
    EXPECT_EQ(tabs->currentWidget(), part<LogView>("outputTextbox"));
    EXPECT_EQ(tabs->tabText(0) + "," + tabs->tabText(1), "Log,Chart");
    EXPECT_EQ(savingEnabled(), std::pair(true, true));
    EXPECT_EQ(warnings->warnings(), shortRun("40000"));
    EXPECT_TRUE(warnings->isVisible());
    EXPECT_EQ(log().find("Every file of this run"), std::string::npos) << "never in the log";
    runCommand(&ViewController::writeFileButton, folder + "/one.tiff");
    EXPECT_EQ(chartedFiles(), "Write 4;") << "a single-file test leaves the chart";
    EXPECT_EQ(warnings->warnings(), shortRun("1000")) << "the new run's own";
    part<QLineEdit>("repeatsTextbox")->setText("1");
    startHeldAt(&ViewController::runMixedTest, folder, "/1.tiff");
    EXPECT_EQ(savingEnabled(), std::pair(false, false)) << "a test is running";
    EXPECT_FALSE(warnings->isVisible());
    releaseAndWaitForTheEnd();
    EXPECT_EQ(savingEnabled(), std::pair(true, true));
    EXPECT_EQ(chartedFiles(), "Write 2;Read 2;") << "the mix writes, then reads";

    // The saved log has the text of when its panel opened, under the dated name.
    window->saveContents();
    EXPECT_EQ(panels.requests.back().proposedName.toStdString(),
              savedLogName(window->model().startDate));
    const std::string logBefore = log();
    window->appendToLog("appended while the panel was open\n");
    panels.answerPending(panelOKResponse, QString::fromStdString(folder + "/log ü.text"));
    EXPECT_EQ(fileContents(folder + "/log ü.text"), logBefore);

    const std::string png = folder + "/chart ü.png";
    panels.answers.push_back({panelOKResponse, QString::fromStdString(png)});
    window->saveChart();
    EXPECT_EQ(describe(panels.requests.back()),
              "save \"\" [png] \"Quorlan-chart.png\" new-folders");
    EXPECT_GE(QImage(QString::fromStdString(png), "PNG").width(), 400);

    const std::string json = folder + "/run.json";
    panels.answers.push_back({panelOKResponse, QString::fromStdString(json)});
    window->exportResults();
    EXPECT_EQ(describe(panels.requests.back()),
              "save \"\" [json,csv] \"Quorlan-results.json\" new-folders");
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

    // /dev/full is a volume that is always full.
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
    EXPECT_EQ(log(), logBefore + "appended while the panel was open\n")
        << "saving the chart or the results logs nothing";
    panels.answers.push_back({panelOKResponse, QStringLiteral("/dev/full")});
    window->saveContents();
    EXPECT_EQ(log(), logBefore + "appended while the panel was open\n" + sentence("log"));
}
