#include "app/OutputArea.h"

#include "app/LogView.h"
#include "app/ProgressPanel.h"
#include "app/RateChart.h"
#include "app/VerdictTable.h"

#include <QTabWidget>
#include <QVBoxLayout>

namespace quorlan {

OutputArea::OutputArea(QWidget *parent)
    : QWidget(parent), tabs_(new QTabWidget), log_(new LogView), chart_(new RateChart),
      verdicts_(new VerdictTable), progress_(new ProgressPanel) {
    tabs_->setObjectName("mainTabs");
    log_->setObjectName("outputTextbox");
    chart_->setObjectName("rateChart");
    verdicts_->setObjectName("verdictTable");
    progress_->setObjectName("progressArea");
    auto *chartTab = new QWidget;
    chartTab->setObjectName("chartTab");
    auto *chartLayout = new QVBoxLayout(chartTab);
    chartLayout->setContentsMargins(0, 0, 0, 0);
    chartLayout->setSpacing(0);
    chartLayout->addWidget(chart_, 1);
    chartLayout->addWidget(verdicts_);
    tabs_->setDocumentMode(true);
    tabs_->addTab(log_, tr("Log"));
    tabs_->addTab(chartTab, tr("Chart"));
    verdicts_->hide();
    progress_->hide();

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(tabs_, 1);
    layout->addWidget(progress_);
}

void OutputArea::showChart() {
    tabs_->setCurrentWidget(chart_->parentWidget());
}

} // namespace quorlan
