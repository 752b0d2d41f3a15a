#pragma once

#include <QStringList>
#include <QWidget>

#include <string>
#include <vector>

class QLabel;

namespace quorlan {

// The status area's account of what the last run's rates may not show: the style's warning
// icon beside the warnings, one per line. Hidden while there are none.
class WarningsLabel final : public QWidget {
    Q_OBJECT
public:
    explicit WarningsLabel(QWidget *parent = nullptr);

    void setWarnings(const std::vector<std::string> &warnings);
    QStringList warnings() const { return warnings_; }

private:
    QLabel *icon_;
    QLabel *text_;
    QStringList warnings_;
};

} // namespace quorlan
