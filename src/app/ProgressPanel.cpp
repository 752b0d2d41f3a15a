#include "app/ProgressPanel.h"

#include <QGridLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>

#include <cmath>

namespace quorlan {

namespace {

constexpr int barSteps = 1000;

QString stepText(const Progress &p) {
    if (p.writePhase)
        return ProgressPanel::tr("writing file %1 of %2").arg(p.file).arg(p.files);
    if (p.files > 0)
        return ProgressPanel::tr("pass %1 of %2, file %3 of %4")
            .arg(p.pass)
            .arg(p.passes)
            .arg(p.file)
            .arg(p.files);
    return ProgressPanel::tr("pass %1 of %2, file %3").arg(p.pass).arg(p.passes).arg(p.file);
}

} // namespace

QString timeLeftText(double seconds) {
    const auto whole = static_cast<long long>(std::ceil(std::max(seconds, 0.0)));
    if (whole < 60)
        return ProgressPanel::tr("About %1 s left").arg(whole);
    if (whole < 3600)
        return ProgressPanel::tr("About %1 min %2 s left").arg(whole / 60).arg(whole % 60);
    return ProgressPanel::tr("About %1 h %2 min left").arg(whole / 3600).arg(whole % 3600 / 60);
}

ProgressPanel::ProgressPanel(QWidget *parent)
    : QWidget(parent), title_(new QLabel), step_(new QLabel), file_(new QLabel),
      timeLeft_(new QLabel), bar_(new QProgressBar), cancelButton_(new QPushButton(tr("Cancel"))) {
    title_->setObjectName("progressTitle");
    step_->setObjectName("progressStep");
    file_->setObjectName("progressFile");
    timeLeft_->setObjectName("progressTimeLeft");
    bar_->setObjectName("progressBar");
    cancelButton_->setObjectName("cancelButton");
    bar_->setTextVisible(false);
    connect(cancelButton_, &QPushButton::clicked, this, &ProgressPanel::cancelClicked);
    QFont bold = title_->font();
    bold.setBold(true);
    title_->setFont(bold);
    file_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    file_->setMinimumWidth(1);
    auto *grid = new QGridLayout(this);
    grid->addWidget(title_, 0, 0);
    grid->addWidget(step_, 0, 1);
    grid->addWidget(timeLeft_, 0, 2, Qt::AlignRight);
    grid->addWidget(bar_, 1, 0, 1, 3);
    grid->addWidget(cancelButton_, 1, 3);
    grid->addWidget(file_, 2, 0, 1, 4);
    grid->setColumnStretch(1, 1);
}

void ProgressPanel::begin(const QString &testTitle, const QString &target, bool cancellable,
                          bool hasWritePhase) {
    estimate_ = ProgressEstimate(hasWritePhase);
    title_->setText(testTitle);
    step_->clear();
    timeLeft_->clear();
    showFile(target);
    bar_->setRange(0, 0); // busy until the first file tells how far the test is
    cancelButton_->setEnabled(cancellable);
}

void ProgressPanel::show(const Progress &progress, double elapsedSeconds) {
    step_->setText(stepText(progress));
    showFile(QString::fromUtf8(progress.path.data(), static_cast<qsizetype>(progress.path.size())));
    const std::optional<double> fraction = estimate_.fractionDone(progress);
    if (fraction) {
        bar_->setRange(0, barSteps);
        bar_->setValue(static_cast<int>(*fraction * barSteps));
    } else {
        bar_->setRange(0, 0);
    }
    if (!canCancel())
        return; // the time left says that the test is being cancelled
    const std::optional<double> left = estimate_.secondsLeft(progress, elapsedSeconds);
    timeLeft_->setText(left ? timeLeftText(*left) : tr("Estimating time left…"));
}

void ProgressPanel::cancelling() {
    cancelButton_->setEnabled(false);
    timeLeft_->setText(tr("Cancelling after this file…"));
}

bool ProgressPanel::canCancel() const {
    return cancelButton_->isEnabled();
}

void ProgressPanel::showFile(const QString &path) {
    file_->setText(
        file_->fontMetrics().elidedText(path, Qt::ElideMiddle, std::max(file_->width(), 200)));
    file_->setToolTip(path);
}

} // namespace quorlan
