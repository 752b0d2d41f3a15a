#include "WindowFixture.h"

#include "app/RateChart.h"
#include "bench/ResultsExport.h"

#include <QAction>
#include <QChart>
#include <QLabel>
#include <QLineSeries>
#include <QStatusBar>
#include <QScrollBar>
#include <QTableWidget>
#include <QValueAxis>

#include <fstream>

using namespace quorlan;
using namespace quorlan::testing;

namespace {

// A results file of a multi-write on machine, started start seconds after 1970, of results.
void writeResults(const std::string &path, const std::string &machine, std::int64_t start,
                  std::initializer_list<Result> results) {
    RunRecord run;
    run.command = "multi-write";
    run.start = Date(std::chrono::seconds(start));
    for (const Result &r : results)
        run.results.push_back({r, "/t/f", CacheMode::None});
    std::ofstream(path, std::ios::binary)
        << resultsJson(run, {machine, "Test OS", "1.0", "ext4"}).toStdString();
}

// A write or read of size bytes at the rate, in bytes per second.
Result result(ResultKind kind, std::int64_t size, double rate) {
    return {kind, size, static_cast<double>(size) / rate, rate};
}

// The axes' ranges (sizes as powers of ten, rates in MB/s) and each line of a loaded run: its
// legend name, pen and medians. Of the window's own run, whose figures vary, only whether it is
// drawn, and then not the rates' range.
std::string chartText(const RateChart &chart) {
    if (chart.showsEmptyNote())
        return "chart: the note\n";
    const QChart &shown = *chart.chart();
    const auto range = [](const QAbstractAxis *axis) {
        const auto *values = static_cast<const QValueAxis *>(axis);
        return QString("%1 to %2").arg(values->min(), 0, 'f', 2).arg(values->max(), 0, 'f', 2);
    };
    const char *const styles[] = {"none", "solid", "dashed", "dotted", "dash-dot", "dash-dot-dot"};
    QString lines;
    bool own = false;
    for (QAbstractSeries *series : shown.series()) {
        const auto *line = qobject_cast<QLineSeries *>(series);
        own = own || !series->name().contains(".json");
        if (line && series->name().contains(".json"))
            lines +=
                QString("%1 | %2 %3 | %4 points\n")
                    .arg(line->name(), styles[line->pen().style() % 6], line->pen().color().name())
                    .arg(line->count());
    }
    const QString rates =
        own ? "the run's own series drawn" : "MB/s " + range(shown.axes(Qt::Vertical).value(0));
    return ("sizes 10^(" + range(shown.axes(Qt::Horizontal).value(0)) + "), " + rates + "\n" +
            lines)
        .toStdString();
}

} // namespace

// Results files load in one panel or several, each after the others, the same one again too; one
// that cannot be read is named in the status bar while the rest load. Each loaded run's medians are
// drawn in its kinds' colours and a line style of its own, before any run too, and its verdicts
// stand under the chart: against the first loaded file until a multi-file test has run, then
// against that run. Neither loading nor clearing touches the log.
TEST_F(WindowTest, LoadedResultsAreDrawnBesideTheRunWithTheirVerdictsAndLeaveTheLog) {
    writeResults(folder + "/a.json", "Machine A", 1796619600,
                 {result(ResultKind::Write, 10000, 1e9), result(ResultKind::Write, 1000000, 1e9),
                  result(ResultKind::Read, 10000, 2e9)});
    writeResults(
        folder + "/b.json", "Machine B", 1800037800,
        {result(ResultKind::Write, 10000, 4e12), result(ResultKind::Write, 1000000, 5e12)});
    writeFile(folder + "/bad.json", 3, '{');
    const auto *table = part<QTableWidget>("verdictRows");
    const auto state = [this, table](const char *when, bool verdictsVary) {
        const auto on = [this](const char *action) {
            return part<QAction>(action)->isEnabled() ? " on" : " off";
        };
        std::string text = std::string("== ") + when + "\ncompare" + on("compareResultsAction") +
                           ", clear" + on("clearComparisonAction") + ", save chart" +
                           on("saveChartAction") +
                           "\nstatus: " + window->statusBar()->currentMessage().toStdString() +
                           "\n" + chartText(*part<RateChart>("rateChart"));
        if (part<QWidget>("verdictTable")->isHidden())
            return text + "verdicts hidden\n";
        text += part<QLabel>("verdictHeading")->text().toStdString() + "\n";
        for (int row = 0; row < table->rowCount(); ++row) {
            const QTableWidgetItem *run = table->item(row, 0);
            // Against this window's run the verdicts and warnings depend on this machine.
            text +=
                QString("%1 | %2 | %3 | %4%5\n")
                    .arg(run->text(), table->item(row, 1)->text(),
                         verdictsVary ? "…" : table->item(row, 2)->text(),
                         verdictsVary ? "…" : run->toolTip(), run->icon().isNull() ? "" : " (icon)")
                    .toStdString();
            EXPECT_FALSE(table->item(row, 2)->text().isEmpty());
        }
        return text;
    };
    std::string states = state("nothing loaded", false);
    const auto compare = [this](const std::string &names) {
        QString paths = QString::fromStdString(names);
        paths.replace("~", QString::fromStdString(folder));
        panels.answers.push_back({panelOKResponse, paths});
        window->compareWithResults();
    };
    compare("~/a.json\n~/bad.json");
    EXPECT_EQ(describe(panels.requests.back()), "open \"Compare\" [json] \"\" hidden");
    states += state("a.json and an unreadable file chosen", false);
    panels.answers.push_back({panelCancelResponse, std::nullopt});
    window->compareWithResults();
    compare("~/b.json\n~/a.json\n~/a.json"); // the fourth takes the first line style again
    states += state("then b.json and a.json twice", false);
    QApplication::processEvents(); // four verdicts show, the rest scroll by one row a step
    EXPECT_EQ(table->verticalScrollBar()->maximum(), table->rowCount() - 4);

    const std::string png = folder + "/chart.png";
    panels.answers.push_back({panelOKResponse, QString::fromStdString(png)});
    window->saveChart();
    EXPECT_GE(QImage(QString::fromStdString(png), "PNG").width(), 400);
    window->statusBar()->clearMessage();
    EXPECT_TRUE(log().empty());

    startHeldAt(&ViewController::runMultiWriteTest, folder, "/1-1.tiff");
    states += state("while a multi-write runs", false);
    releaseAndWaitForTheEnd();
    states += state("after it", true);
    const std::string logAfterRun = log();
    window->clearComparison();
    states += state("cleared", false);
    EXPECT_EQ(log(), logAfterRun);
    EXPECT_TRUE(matchesSnapshot(states, "window-comparison.txt"));
}
