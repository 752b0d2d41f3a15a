#pragma once

#include <QWidget>

class QTabWidget;

namespace quorlan {

class LogView;
class ProgressPanel;
class RateChart;

// The main window's right side: the log (tab "Log", in front) and the rate chart of the last
// multi-file test (tab "Chart") in mainTabs, and under them the progress area, which is hidden
// until a test runs. Object names: mainTabs, outputTextbox, rateChart and progressArea.
class OutputArea final : public QWidget {
    Q_OBJECT
public:
    explicit OutputArea(QWidget *parent = nullptr);

    // Owned by this widget.
    LogView *log() const { return log_; }
    RateChart *chart() const { return chart_; }
    ProgressPanel *progress() const { return progress_; }

private:
    QTabWidget *tabs_;
    LogView *log_;
    RateChart *chart_;
    ProgressPanel *progress_;
};

} // namespace quorlan
