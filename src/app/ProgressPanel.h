#pragma once

#include "app/ProgressEstimate.h"
#include "bench/ProgressSink.h"

#include <QElapsedTimer>
#include <QWidget>

class QLabel;
class QProgressBar;
class QPushButton;

namespace quorlan {

// The progress area of a running test: the test's title, pass and file, the current file, a bar,
// the estimated time left and the Cancel button.
class ProgressPanel final : public QWidget {
    Q_OBJECT
public:
    explicit ProgressPanel(QWidget *parent = nullptr);

    // A test starts: title, the file or folder it works on, whether it can be cancelled, and
    // whether it writes once before its read passes (for the estimate).
    void begin(const QString &title, const QString &target, bool cancellable, bool hasWritePhase);
    // The file of progress starts, elapsedSeconds after the test began.
    void show(const Progress &progress, double elapsedSeconds);
    // Cancel was asked for: the button is disabled and the time left says so.
    void cancelling();
    bool canCancel() const;

signals:
    void cancelClicked();

private:
    void showFile(const QString &path);

    // Object names: progressTitle, progressStep, progressFile (the whole path in its tool tip),
    // progressTimeLeft, progressBar and cancelButton.
    QLabel *title_;
    QLabel *step_;
    QLabel *file_;
    QLabel *timeLeft_;
    QProgressBar *bar_;
    QPushButton *cancelButton_;
    ProgressEstimate estimate_;
};

// "About 12 s left", "About 3 min 5 s left", "About 2 h 10 min left": whole seconds rounded up.
QString timeLeftText(double seconds);

} // namespace quorlan
