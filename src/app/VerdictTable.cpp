#include "app/VerdictTable.h"

#include <QHeaderView>
#include <QLabel>
#include <QStyle>
#include <QTableWidget>
#include <QVBoxLayout>

namespace quorlan {

namespace {

// The table's height shows this many rows before it scrolls, so the chart keeps its room.
constexpr int shownRows = 4;

} // namespace

VerdictTable::VerdictTable(QWidget *parent)
    : QWidget(parent), heading_(new QLabel), rows_(new QTableWidget(0, 3)) {
    heading_->setObjectName("verdictHeading");
    heading_->setWordWrap(true);
    rows_->setObjectName("verdictRows");
    rows_->setHorizontalHeaderLabels({tr("Run"), tr("Kind"), tr("Verdict")});
    rows_->verticalHeader()->hide();
    rows_->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    rows_->horizontalHeader()->setSectionResizeMode(2, QHeaderView::Stretch);
    rows_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    rows_->setSelectionMode(QAbstractItemView::NoSelection);
    rows_->setFocusPolicy(Qt::NoFocus);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(6, 4, 6, 4);
    layout->addWidget(heading_);
    layout->addWidget(rows_);
}

void VerdictTable::setVerdicts(const Verdicts &verdicts) {
    heading_->setText(verdicts.heading);
    rows_->setRowCount(static_cast<int>(verdicts.rows.size()));
    const QIcon warning = style()->standardIcon(QStyle::SP_MessageBoxWarning, nullptr, this);
    for (int row = 0; row < rows_->rowCount(); ++row) {
        const VerdictRow &verdict = verdicts.rows[static_cast<std::size_t>(row)];
        const QString tip = verdict.warnings.join('\n');
        int column = 0;
        for (const QString &text : {verdict.run, verdict.kind, verdict.verdict}) {
            auto *cell = new QTableWidgetItem(text);
            cell->setToolTip(tip);
            rows_->setItem(row, column++, cell);
        }
        if (!tip.isEmpty())
            rows_->item(row, 0)->setIcon(warning);
    }
    rows_->setVisible(!verdicts.rows.empty());
    const int rowHeight = rows_->verticalHeader()->defaultSectionSize();
    rows_->setFixedHeight(rows_->horizontalHeader()->sizeHint().height() +
                          rowHeight * std::min<int>(shownRows, std::max(1, rows_->rowCount())) +
                          2 * rows_->frameWidth());
}

} // namespace quorlan
