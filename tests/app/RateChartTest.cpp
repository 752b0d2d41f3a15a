#include "WindowFixture.h"

#include "app/RateChart.h"

#include <QAction>
#include <QChart>
#include <QImage>
#include <QLegendMarker>
#include <QLineEdit>
#include <QScatterSeries>
#include <QStatusBar>
#include <QTabWidget>

#include <filesystem>

using namespace quorlan;
using namespace quorlan::testing;
namespace fs = std::filesystem;

namespace {

// The points of the chart's "each file" series, in the order they were added.
std::vector<QList<QPointF>> scatterPoints(const RateChart &chart) {
    std::vector<QList<QPointF>> points;
    for (QAbstractSeries *series : chart.chart()->series())
        if (auto *scatter = qobject_cast<QScatterSeries *>(series))
            points.push_back(scatter->points());
    return points;
}

// The legend's entries joined with " | ". The per-file points, and the median line of a kind
// whose fitted line carries its entry, must have none.
std::string legendText(const RateChart &chart) {
    QStringList texts;
    for (QLegendMarker *marker : chart.chart()->legend()->markers())
        if (!marker->label().endsWith("each file") && !marker->label().endsWith("per size"))
            texts << marker->label();
        else
            EXPECT_FALSE(marker->isVisible()) << marker->label().toStdString();
    return texts.join(" | ").toStdString();
}

} // namespace

TEST_F(WindowTest, MultiWriteFillsTheChartWhileTheLogStaysInFront) {
    RateChart *chart = part<RateChart>("rateChart");
    EXPECT_TRUE(chart->showsEmptyNote());
    EXPECT_FALSE(part<QAction>("saveChartAction")->isEnabled());
    window->saveChart();
    EXPECT_TRUE(panels.requests.empty()) << "nothing to save yet";

    part<QLineEdit>("repeatsTextbox")->setText("2");
    runCommand(&ViewController::runMultiWriteTest, folder);
    const std::vector<Result> &writes = window->model().theAnalyser->theWrites;
    ASSERT_EQ(writes.size(), 4u);
    ASSERT_EQ(chart->data().series.size(), 1u);
    EXPECT_EQ(chart->data().series[0].kind, ResultKind::Write);
    const std::vector<QList<QPointF>> points = scatterPoints(*chart);
    ASSERT_EQ(points.size(), 1u);
    EXPECT_EQ(points[0].size(), 4);
    EXPECT_FALSE(chart->showsEmptyNote());
    EXPECT_EQ(part<QTabWidget>("mainTabs")->currentWidget(), part<LogView>("outputTextbox"));
    EXPECT_TRUE(part<LogView>("outputTextbox")->isVisible());
    EXPECT_EQ(part<QTabWidget>("mainTabs")->tabText(0), "Log");
    EXPECT_EQ(part<QTabWidget>("mainTabs")->tabText(1), "Chart");
    EXPECT_TRUE(part<QAction>("saveChartAction")->isEnabled());

    // A single-file test leaves the chart as the multi-write left it.
    runCommand(&ViewController::writeFileButton, folder + "/one.tiff");
    EXPECT_EQ(scatterPoints(*chart), points);
    EXPECT_EQ(chart->data().series.size(), 1u);

    // While the next test runs, Save Chart waits.
    gate.holdAt = "/1.tiff";
    panels.answers.push_back({panelOKResponse, QString::fromStdString(folder)});
    QSignalSpy finished(window.get(), &ViewController::runFinished);
    window->runMixedTest();
    ASSERT_TRUE(gate.waitUntilHeld());
    EXPECT_FALSE(part<QAction>("saveChartAction")->isEnabled());
    gate.release();
    ASSERT_TRUE(finished.wait(30000));
    EXPECT_TRUE(part<QAction>("saveChartAction")->isEnabled());
    ASSERT_EQ(chart->data().series.size(), 2u) << "the mix writes, then reads";
    EXPECT_EQ(chart->data().series[1].kind, ResultKind::Read);
}

TEST_F(WindowTest, SaveChartWritesAPngOrReportsWhyInTheStatusBar) {
    runCommand(&ViewController::runMultiWriteTest, folder);
    const std::string logBefore = log();

    const std::string missing = folder + "/no such folder/chart.png";
    panels.answers.push_back({panelOKResponse, QString::fromStdString(missing)});
    window->saveChart();
    const QString failure = window->statusBar()->currentMessage();
    EXPECT_TRUE(failure.contains("chart.png")) << failure.toStdString();
    EXPECT_FALSE(fs::exists(missing));

    const std::string saved = folder + "/chart ü.png";
    panels.answers.push_back({panelOKResponse, QString::fromStdString(saved)});
    window->saveChart();
    const FilePanelRequest &request = panels.requests.back();
    EXPECT_EQ(request.kind, FilePanelRequest::Kind::SaveFile);
    EXPECT_EQ(request.proposedName, "Quorlan-chart.png");
    EXPECT_EQ(request.allowedFileTypes, QStringList{"png"});
    EXPECT_TRUE(request.canCreateFolders);
    ASSERT_TRUE(fs::exists(saved));
    EXPECT_GT(fs::file_size(saved), 0u);
    const QImage image(QString::fromStdString(saved), "PNG");
    EXPECT_FALSE(image.isNull());
    EXPECT_GE(image.width(), 400);
    EXPECT_EQ(log(), logBefore) << "saving the chart adds nothing to the log";
}

TEST(RateChart, EmptyChartShowsItsNoteAndIsNotSaved) {
    RateChart chart;
    EXPECT_TRUE(chart.showsEmptyNote());
    const TempFolder scratch;
    const std::string folder = scratch.path();
    const QString path = QString::fromStdString(folder + "/empty.png");
    QString error;
    EXPECT_FALSE(chart.savePng(systemCalls(), path, &error));
    EXPECT_FALSE(error.isEmpty());
    EXPECT_FALSE(fs::exists(path.toStdString()));
    EXPECT_FALSE(chart.savePng(systemCalls(), path, nullptr)) << "no message wanted, no crash";

    Analyser analyser;
    analyser.theWrites = {Result{ResultKind::Write, 0, 0.0, 0.0}}; // nothing a log axis can show
    chart.setData(rateChartData(analyser));
    EXPECT_TRUE(chart.showsEmptyNote());
}

TEST(RateChart, LegendCarriesTheFittedRateAndThemeFollowsThePalette) {
    Analyser analyser;
    for (const std::int64_t size : {1000000, 2000000, 4000000}) // time = 0.5 + size / 500 MB/s
        analyser.theWrites.push_back(
            Result{ResultKind::Write, size, 0.5 + size / 5e8, size / (0.5 + size / 5e8)});
    analyser.theReads1.push_back(Result{ResultKind::Read, 3000000, 0.01, 3e8}); // one size: no line
    RateChart chart;
    chart.setData(rateChartData(analyser));
    const std::string legend = "Write — fitted 250.0 MB/s | Read — no fitted rate";
    EXPECT_EQ(legendText(chart), legend);

    QPalette dark;
    dark.setColor(QPalette::Window, QColor(30, 30, 32));
    dark.setColor(QPalette::WindowText, QColor(230, 230, 230));
    chart.setPalette(dark);
    EXPECT_EQ(chart.chart()->theme(), QChart::ChartThemeDark);
    EXPECT_EQ(legendText(chart), legend) << "series rebuilt under the new theme";
    chart.setPalette(QPalette(QColor(240, 240, 240)));
    EXPECT_EQ(chart.chart()->theme(), QChart::ChartThemeLight);
}

TEST(RateChart, SizeAxisLabelsInDecimalUnits) {
    EXPECT_EQ(RateChart::sizeLabel(1), "1 byte");
    EXPECT_EQ(RateChart::sizeLabel(500), "500 bytes");
    EXPECT_EQ(RateChart::sizeLabel(2000000), "2 MB");
    EXPECT_EQ(RateChart::sizeLabel(200000000), "200 MB");
    EXPECT_EQ(RateChart::sizeLabel(20000000000.0), "20 GB");
    const auto labels = [](double low, double high) {
        QStringList texts;
        for (const auto &tick : RateChart::sizeTicks(low, high))
            texts << tick.second;
        return texts;
    };
    // The sixteen standard sizes: 1-2-5 steps.
    EXPECT_EQ(labels(1.5e6, 2.5e9), (QStringList{"2 MB", "5 MB", "10 MB", "20 MB", "50 MB",
                                                 "100 MB", "200 MB", "500 MB", "1 GB", "2 GB"}));
    // Random sizes from 20 kB to 2 GB: a label per decade.
    EXPECT_EQ(labels(1.5e4, 2.5e9), (QStringList{"100 kB", "1 MB", "10 MB", "100 MB", "1 GB"}));
    // A narrow range: every digit.
    EXPECT_EQ(labels(15000, 45000), (QStringList{"20 kB", "30 kB", "40 kB"}));
    EXPECT_TRUE(RateChart::sizeTicks(0, 1000).empty());
    EXPECT_TRUE(RateChart::sizeTicks(1000, 10).empty());
}

TEST(RateChart, ALargeRunIsDrawnWithAChoiceOfDotsButCountsEveryFile) {
    const auto points = [](std::size_t n) {
        std::vector<RatePoint> list;
        for (std::size_t i = 0; i < n; ++i)
            list.push_back({static_cast<double>(i + 1), 1.0});
        return list;
    };
    for (const std::size_t n : {std::size_t{2}, std::size_t{2000}, std::size_t{2001},
                                std::size_t{3999}, std::size_t{100000}}) {
        const std::vector<RatePoint> kept = RateChart::thinned(points(n), 2000);
        ASSERT_LE(kept.size(), 2000u) << n;
        EXPECT_GE(kept.size(), std::min<std::size_t>(n, 1000)) << n;
        EXPECT_EQ(kept.front().sizeBytes, 1.0) << n;
        EXPECT_EQ(kept.back().sizeBytes, static_cast<double>(n)) << n;
        if (n <= 2000) {
            EXPECT_EQ(kept.size(), n) << "a run this small is drawn whole";
        }
    }

    // 5000 reads of distinct sizes: every file stays in the data, 2000 dots at most are drawn,
    // and the key under the title says so.
    Analyser analyser;
    for (int i = 0; i < 5000; ++i)
        analyser.addResult(ResultKind::Read, 20000 + i, 0.01, (20000.0 + i) / 0.01);
    RateChart chart;
    chart.setData(rateChartData(analyser));
    EXPECT_EQ(chart.data().series[0].points.size(), 5000u);
    const std::vector<QList<QPointF>> dots = scatterPoints(chart);
    ASSERT_EQ(dots.size(), 1u);
    EXPECT_LE(dots[0].size(), 2000);
    EXPECT_GT(dots[0].size(), 1000);
    EXPECT_TRUE(chart.chart()->title().contains(
        QStringLiteral("dots for %1 of 5000 files").arg(dots[0].size())))
        << chart.chart()->title().toStdString();
}
