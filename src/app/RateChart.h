#pragma once

#include "analysis/RateChartData.h"

#include <QString>
#include <QWidget>

#include <utility>
#include <vector>

class QAbstractSeries;
class QChart;
class QChartView;
class QImage;
class QLabel;
class QStackedLayout;

namespace quorlan {

class SysCalls;

// A run drawn beside the current one: its data (only the medians are drawn) and how the legend
// names it.
struct ComparedChartRun {
    QString label;
    RateChartData data;
};

// The rates of the last multi-file test against file size: for each kind of result every
// measurement as a faint point, the per-size median rate as a line with markers and the rate of
// the least-squares line dashed, its regressed rate in the legend. Beside it the compared runs:
// each kind's medians as a line in that kind's colour, in a line style of its own per run
// (dotted, dash-dot, dash-dot-dot, then again), named in the legend by kind and run. Sizes run on
// a logarithmic axis in decimal units, rates on a linear axis in MB/s (1 MB = 1,000,000 bytes);
// the axes cover every run drawn. With nothing to draw it shows a short note instead. Follows
// the palette, light or dark.
class RateChart final : public QWidget {
    Q_OBJECT
public:
    explicit RateChart(QWidget *parent = nullptr);

    // Replaces the current run's data.
    void setData(RateChartData data);
    const RateChartData &data() const { return data_; }
    // Replaces the runs drawn beside the current one, in the order of their line styles.
    void setComparedRuns(std::vector<ComparedChartRun> runs);
    // True when there is at least one point to draw (and so something to save).
    bool hasData() const;
    // The chart itself; owned by this widget.
    QChart *chart() const { return chart_; }
    bool showsEmptyNote() const;

    // Renders the chart at its shown size (1000 x 620 while it is hidden or smaller than that
    // would be readable) as a PNG in memory and writes it to path through calls with
    // saveUserFile, replacing a file there in place. On failure returns false with a sentence for
    // the user in *error (when error is not null): there is nothing to save yet, the chart could
    // not be drawn, or saveUserFile's sentence with the subject "chart". An empty chart is not
    // saved.
    bool savePng(SysCalls &calls, const QString &path, QString *error);

    // The size axis: labels at 1-2-5 (or whole-decade, or every digit) multiples of a power of
    // ten between lowBytes and highBytes, each as log10 of the size and its text.
    static std::vector<std::pair<double, QString>> sizeTicks(double lowBytes, double highBytes);
    // Qt Charts draws every dot as an item of its own, which takes seconds beyond a few thousand;
    // a run of more files shows an evenly spread choice of this many dots per kind, in
    // measurement order, and says so under the title. Lines keep at most maxLinePoints points,
    // and mark them only up to maxMarkedPoints. The data itself is never thinned.
    static constexpr std::size_t maxDotsPerKind = 2000;
    static constexpr std::size_t maxLinePoints = 2000;
    static constexpr std::size_t maxMarkedPoints = 200;
    // Every step-th point, the first and the last always included, so at most limit points.
    static std::vector<RatePoint> thinned(const std::vector<RatePoint> &points, std::size_t limit);

    // A byte count that is a digit times a power of ten, in decimal units without decimals:
    // 2000000 -> "2 MB", 500 -> "500 bytes", 1 -> "1 byte", 20000000000 -> "20 GB".
    static QString sizeLabel(double bytes);

protected:
    void changeEvent(QEvent *event) override;

private:
    void rebuild();
    void applyPalette();
    void addSeries(const RateSeries &series);
    void addComparedSeries(const RateSeries &series, const QString &label, Qt::PenStyle style);
    void attach(QAbstractSeries *series);
    QImage renderImage();

    RateChartData data_;
    std::vector<ComparedChartRun> compared_;
    QChart *chart_ = nullptr;
    QChartView *view_ = nullptr;
    QLabel *emptyNote_ = nullptr;
    QStackedLayout *stack_ = nullptr;
};

} // namespace quorlan
