#pragma once

#include "app/LogQueue.h"
#include "app/RunProgress.h"
#include "bench/CancelToken.h"
#include "bench/ProgressSink.h"

#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <QTimer>

#include <functional>

class QThread;

namespace quorlan {

class Bench;

// What a run of one of the window's tests is and what the window shows of it; each field says
// one thing.
struct RunDescription {
    QString title;                 // heads the progress area, e.g. "Multi-write test"
    bool cancellable = false;      // stops between files when asked; a single-file test is one
                                   // request that cannot be stopped part way
    bool hasWritePhase = false;    // writes its files once before its read passes (the mixed
                                   // test); the estimate of the time left counts them as one step
    bool fillsWriteResult = false; // the Write result field shows the run's write rate
    bool fillsReadResult = false;  // the Read result field shows the run's read rate
    bool fillsChart = false; // the rate chart shows the run: it shows the last multi-file test
};

// Runs one test at a time on a thread of its own and brings what it reports to the GUI thread:
// the log lines the test queues and its latest progress, on a short timer, and the end of the
// run. Holds the cancel token the test looks at between files. Lives on the GUI thread.
class RunController final : public QObject {
    Q_OBJECT
public:
    explicit RunController(QObject *parent = nullptr);
    // Abandons a running test (see abandon).
    ~RunController() override;

    // Where a test writes its log text, from any thread; the text comes out through logText.
    LogSink &logSink() { return logQueue_; }
    // Where a test reports its progress, from any thread; it comes out through progressed.
    ProgressSink &progressSink() { return progress_; }
    // Makes bench report its progress here and look at this controller's cancel token. The
    // bench must not run outside this controller's thread while attached.
    void attach(Bench &bench);

    // From start until the test's thread has ended and finished has been emitted.
    bool isRunning() const { return thread_ != nullptr; }
    // The running test's description; once it has ended, the last one's.
    const RunDescription &run() const { return run_; }
    // A test runs, can be cancelled and has not been asked to stop yet.
    bool canCancel() const;

    // Runs work on a new thread and emits started. Does nothing and returns false while a test
    // runs.
    bool start(RunDescription run, std::function<void()> work);
    // Asks the running test to stop after the file in progress; it still ends with its report
    // and footer. False, and nothing asked, when canCancel() is false.
    bool cancel();
    // Asks the running test to stop and waits until its thread has ended, without the rest of
    // its log text and without finished: for an owner that is going away.
    void abandon();
    // Emits logText with everything the test has queued and not yet given out.
    void flushLog();

signals:
    void started();
    // Log text in the order the test wrote it; never empty.
    void logText(const QString &text);
    // The latest progress when it changed, elapsedSeconds after the run started.
    void progressed(const quorlan::Progress &progress, double elapsedSeconds);
    // The test's thread has ended and all its log text has been given out.
    void finished();

private:
    void showProgress();
    void threadEnded();
    // Waits for the test's thread, which has ended or been asked to stop, and forgets it.
    void joinThread();

    LogQueue logQueue_;
    RunProgress progress_;
    CancelToken cancelToken_;
    RunDescription run_;
    QThread *thread_ = nullptr;
    QTimer pollTimer_; // gives out the log text and the progress while a test runs
    QElapsedTimer clock_;
};

} // namespace quorlan
