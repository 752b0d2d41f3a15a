#include "app/OutputArea.h"

#include "app/LogView.h"
#include "app/ProgressPanel.h"
#include "app/RateChart.h"

#include <QTabWidget>
#include <QVBoxLayout>

namespace quorlan {

OutputArea::OutputArea(QWidget *parent)
    : QWidget(parent), tabs_(new QTabWidget), log_(new LogView), chart_(new RateChart),
      progress_(new ProgressPanel) {
    tabs_->setObjectName("mainTabs");
    log_->setObjectName("outputTextbox");
    chart_->setObjectName("rateChart");
    progress_->setObjectName("progressArea");
    tabs_->setDocumentMode(true);
    tabs_->addTab(log_, tr("Log"));
    tabs_->addTab(chart_, tr("Chart"));
    progress_->hide();

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(tabs_, 1);
    layout->addWidget(progress_);
}

} // namespace quorlan
