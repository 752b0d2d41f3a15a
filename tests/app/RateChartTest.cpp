#include "../support/GoldenMatch.h"
#include "../support/TempFolder.h"

#include "app/RateChart.h"
#include "bench/SysCalls.h"

#include <QChart>
#include <QXYSeries>

#include <filesystem>

using namespace quorlan;
using namespace quorlan::testing;
namespace fs = std::filesystem;

namespace {

// What the chart shows: its note, or its title and theme and then each series (dots or a line,
// its name, the points drawn).
std::string chartText(const RateChart &chart) {
    if (chart.showsEmptyNote())
        return "the note\n";
    const QChart *shown = chart.chart();
    QString text = shown->title() + (shown->theme() == QChart::ChartThemeDark ? ", dark\n" : "\n");
    for (QAbstractSeries *series : shown->series())
        text += QString("%1 \"%2\": %3 points\n")
                    .arg(series->type() == QAbstractSeries::SeriesTypeScatter ? "dots" : "line",
                         series->name())
                    .arg(static_cast<QXYSeries *>(series)->count());
    return text.toStdString();
}

} // namespace

// Charts of made-up runs: the legend carries each kind's fitted rate or says there is none, the
// theme follows the palette, a large run draws a choice of dots (the first and last file always)
// but counts every file, and nothing a log axis can show leaves the note, which is not saved.
TEST(RateChart, ChartsOfMadeUpRunsMatchTheirSnapshot) {
    Analyser fitted;
    for (const std::int64_t size : {1000000, 2000000, 4000000}) // time = 0.5 + size / 500 MB/s
        fitted.theWrites.push_back(
            Result{ResultKind::Write, size, 0.5 + size / 5e8, size / (0.5 + size / 5e8)});
    fitted.theReads1.push_back(Result{ResultKind::Read, 3000000, 0.01, 3e8}); // one size: no line
    RateChart chart;
    chart.setData(rateChartData(fitted));
    std::string text = "== writes of three sizes, reads of one\n" + chartText(chart);
    QPalette dark;
    dark.setColor(QPalette::Window, QColor(30, 30, 32));
    dark.setColor(QPalette::WindowText, QColor(230, 230, 230));
    chart.setPalette(dark);
    text += "== in a dark palette\n" + chartText(chart);
    chart.setPalette(QPalette(QColor(240, 240, 240)));
    text += "== in a light palette\n" + chartText(chart);

    Analyser large;
    for (int i = 0; i < 5000; ++i)
        large.addResult(ResultKind::Read, 20000 + i, 0.01, (20000.0 + i) / 0.01);
    chart.setData(rateChartData(large));
    text += "== 5000 reads of distinct sizes\n" + chartText(chart);
    for (const std::size_t n : std::initializer_list<std::size_t>{2, 2000, 2001, 3999, 100000}) {
        std::vector<RatePoint> points;
        for (std::size_t i = 0; i < n; ++i)
            points.push_back({static_cast<double>(i + 1), 1.0});
        const std::vector<RatePoint> kept = RateChart::thinned(points, 2000);
        text += "thinned " + std::to_string(n) + ": " + std::to_string(kept.size()) + " from " +
                std::to_string(kept.front().sizeBytes) + " to " +
                std::to_string(kept.back().sizeBytes) + "\n";
    }

    Analyser zero;
    zero.theWrites = {Result{ResultKind::Write, 0, 0.0, 0.0}};
    chart.setData(rateChartData(zero));
    const TempFolder scratch;
    const QString path = QString::fromStdString(scratch.path() + "/empty.png");
    QString error;
    EXPECT_FALSE(chart.savePng(systemCalls(), path, &error));
    EXPECT_FALSE(chart.savePng(systemCalls(), path, nullptr)) << "no message wanted, no crash";
    EXPECT_FALSE(fs::exists(path.toStdString()));
    text += "== a write of nothing\n" + chartText(chart) + "saving: " + error.toStdString() + "\n";
    EXPECT_TRUE(matchesSnapshot(text, "rate-chart-views.txt"));
}
