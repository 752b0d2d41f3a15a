#pragma once

#include "app/LoadedRuns.h"

#include <QWidget>

class QLabel;
class QTableWidget;

namespace quorlan {

// Under the chart: what the loaded runs are compared against (verdictHeading), then one row per
// loaded run and kind with its verdict (verdictRows: run, kind, verdict). A row whose runs are
// not alike shows the style's warning icon and holds the warnings in its tool tip. The window
// hides the table while nothing is loaded.
class VerdictTable final : public QWidget {
    Q_OBJECT
public:
    explicit VerdictTable(QWidget *parent = nullptr);

    void setVerdicts(const Verdicts &verdicts);

private:
    QLabel *heading_;
    QTableWidget *rows_;
};

} // namespace quorlan
