#pragma once

#include <QWidget>

class QTabWidget;

namespace quorlan {

class LogView;
class ProgressPanel;
class RateChart;
class VerdictTable;

// The main window's right side: the log (tab "Log", in front) and the rate chart of the last
// multi-file test with the verdicts of the compared runs under it (tab "Chart") in mainTabs, and
// under them the progress area, which is hidden until a test runs. Object names: mainTabs,
// outputTextbox, chartTab (holding rateChart and verdictTable), rateChart, verdictTable (hidden
// until runs are compared) and progressArea.
class OutputArea final : public QWidget {
    Q_OBJECT
public:
    explicit OutputArea(QWidget *parent = nullptr);

    // Owned by this widget.
    LogView *log() const { return log_; }
    RateChart *chart() const { return chart_; }
    VerdictTable *verdicts() const { return verdicts_; }
    ProgressPanel *progress() const { return progress_; }

    // Brings the Chart tab to the front.
    void showChart();

private:
    QTabWidget *tabs_;
    LogView *log_;
    RateChart *chart_;
    VerdictTable *verdicts_;
    ProgressPanel *progress_;
};

} // namespace quorlan
