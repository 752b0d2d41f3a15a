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

TEST_F(WindowTest, MultiWriteFillsTheChartWhileTheLogStaysInFrontAndTheChartIsSaved) {
    RateChart *chart = part<RateChart>("rateChart");
    EXPECT_TRUE(chart->showsEmptyNote());
    EXPECT_FALSE(part<QAction>("saveChartAction")->isEnabled());
    window->saveChart();
    EXPECT_TRUE(panels.requests.empty()) << "nothing to save yet";

    part<QLineEdit>("repeatsTextbox")->setText("2");
    runCommand(&ViewController::runMultiWriteTest, folder);
    ASSERT_EQ(chart->data().series.size(), 1u);
    EXPECT_EQ(chart->data().series[0].kind, ResultKind::Write);
    const std::vector<QList<QPointF>> points = scatterPoints(*chart);
    ASSERT_EQ(points.size(), 1u);
    EXPECT_EQ(points[0].size(), 4);
    EXPECT_FALSE(chart->showsEmptyNote());
    const auto *tabs = part<QTabWidget>("mainTabs");
    EXPECT_EQ(tabs->currentWidget(), part<LogView>("outputTextbox"));
    EXPECT_EQ(tabs->tabText(0) + "," + tabs->tabText(1), "Log,Chart");
    EXPECT_TRUE(part<QAction>("saveChartAction")->isEnabled());

    // A single-file test leaves the chart as the multi-write left it.
    runCommand(&ViewController::writeFileButton, folder + "/one.tiff");
    EXPECT_EQ(scatterPoints(*chart), points);

    // While the next test runs, Save Chart waits.
    startHeldAt(&ViewController::runMixedTest, folder, "/1.tiff");
    EXPECT_FALSE(part<QAction>("saveChartAction")->isEnabled());
    releaseAndWaitForTheEnd();
    EXPECT_TRUE(part<QAction>("saveChartAction")->isEnabled());
    ASSERT_EQ(chart->data().series.size(), 2u) << "the mix writes, then reads";
    EXPECT_EQ(chart->data().series[1].kind, ResultKind::Read);

    // Saved as a PNG (a failure is told in the status bar: see the export test), not logged.
    const std::string logBefore = log();
    const std::string saved = folder + "/chart ü.png";
    panels.answers.push_back({panelOKResponse, QString::fromStdString(saved)});
    window->saveChart();
    EXPECT_EQ(describe(panels.requests.back()),
              "save \"\" [png] \"Quorlan-chart.png\" new-folders hidden");
    EXPECT_GE(QImage(QString::fromStdString(saved), "PNG").width(), 400);
    EXPECT_EQ(log(), logBefore);
}

TEST(RateChart, EmptyChartShowsItsNoteAndIsNotSaved) {
    RateChart chart;
    EXPECT_TRUE(chart.showsEmptyNote());
    const TempFolder scratch;
    const QString path = QString::fromStdString(scratch.path() + "/empty.png");
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

TEST(RateChart, ALargeRunIsDrawnWithAChoiceOfDotsButCountsEveryFile) {
    const auto points = [](std::size_t n) {
        std::vector<RatePoint> list;
        for (std::size_t i = 0; i < n; ++i)
            list.push_back({static_cast<double>(i + 1), 1.0});
        return list;
    };
    // A run of up to 2000 files is drawn whole; a larger one keeps its first and last file.
    for (const std::size_t n : std::initializer_list<std::size_t>{2, 2000, 2001, 3999, 100000}) {
        const std::vector<RatePoint> kept = RateChart::thinned(points(n), 2000);
        EXPECT_TRUE(kept.size() <= 2000 && kept.size() >= std::min<std::size_t>(n, 1000)) << n;
        EXPECT_EQ(kept.size() == n, n <= 2000) << n;
        EXPECT_EQ(kept.front().sizeBytes + kept.back().sizeBytes, 1.0 + static_cast<double>(n));
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
