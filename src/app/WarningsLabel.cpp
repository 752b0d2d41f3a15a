#include "app/WarningsLabel.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QStyle>

namespace quorlan {

WarningsLabel::WarningsLabel(QWidget *parent)
    : QWidget(parent), icon_(new QLabel(this)), text_(new QLabel(this)) {
    const int side = style()->pixelMetric(QStyle::PM_SmallIconSize, nullptr, this);
    icon_->setPixmap(
        style()->standardIcon(QStyle::SP_MessageBoxWarning, nullptr, this).pixmap(side, side));
    icon_->setAlignment(Qt::AlignTop);
    text_->setTextFormat(Qt::PlainText);
    text_->setWordWrap(true);
    text_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(icon_);
    layout->addWidget(text_, 1);
    setVisible(false);
}

void WarningsLabel::setWarnings(const std::vector<std::string> &warnings) {
    warnings_.clear();
    for (const std::string &warning : warnings)
        warnings_.push_back(QString::fromStdString(warning));
    text_->setText(warnings_.join('\n'));
    setVisible(!warnings_.isEmpty());
}

} // namespace quorlan
