#pragma once

#include <QScrollArea>

#include <vector>

class QAction;
class QLineEdit;
class QPushButton;

namespace quorlan {

class ControlPanel;

// The main window's left column, scrolled when the window is short: the control panel, a button
// for each test command and the two result fields (object names writeResultTextbox and
// readResultTextbox), which show the rates of the last multi-file test of their kind.
class PanelColumn final : public QScrollArea {
    Q_OBJECT
public:
    // tests: the test commands, in order; each gets a button with its text that triggers it.
    explicit PanelColumn(const std::vector<QAction *> &tests, QWidget *parent = nullptr);

    ControlPanel &panel() { return *panel_; }
    const ControlPanel &panel() const { return *panel_; }

    // While a test runs, neither the panel nor the test buttons take input.
    void setLocked(bool locked);
    // A result and its tool tip: why there is no figure, or empty.
    void showWriteResult(const QString &text, const QString &why = {});
    void showReadResult(const QString &text, const QString &why = {});

private:
    ControlPanel *panel_;
    std::vector<QPushButton *> testButtons_;
    QLineEdit *writeResultTextbox_;
    QLineEdit *readResultTextbox_;
};

} // namespace quorlan
