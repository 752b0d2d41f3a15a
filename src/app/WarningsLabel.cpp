#include "app/WarningsLabel.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QStyle>

#include <algorithm>

namespace quorlan {

WarningsLabel::WarningsLabel(QWidget *parent)
    : QWidget(parent), icon_(new QLabel(this)), text_(new QLabel(this)) {
    const int side = style()->pixelMetric(QStyle::PM_SmallIconSize, nullptr, this);
    icon_->setPixmap(
        style()->standardIcon(QStyle::SP_MessageBoxWarning, nullptr, this).pixmap(side, side));
    // The icon is one text line high and centred on it, so it stands beside the first warning.
    icon_->setFixedHeight(std::max(side, text_->fontMetrics().height()));
    icon_->setAlignment(Qt::AlignCenter);
    text_->setTextFormat(Qt::PlainText);
    text_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    // One line per warning, never wrapped: a wrapped label asks the status bar for the height of
    // its narrowest layout. A line longer than the bar is cut; the tool tip holds them all.
    text_->setWordWrap(false);
    text_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    text_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(icon_, 0, Qt::AlignTop);
    layout->addWidget(text_, 1, Qt::AlignTop);
    setVisible(false);
}

void WarningsLabel::setWarnings(const std::vector<std::string> &warnings) {
    warnings_.clear();
    for (const std::string &warning : warnings)
        warnings_.push_back(QString::fromStdString(warning));
    text_->setText(warnings_.join('\n'));
    setToolTip(warnings_.join('\n'));
    setVisible(!warnings_.isEmpty());
}

} // namespace quorlan
