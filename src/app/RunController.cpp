#include "app/RunController.h"

#include "bench/Bench.h"

#include <QThread>

namespace quorlan {

namespace {

constexpr int pollMilliseconds = 50;

} // namespace

RunController::RunController(QObject *parent) : QObject(parent) {
    pollTimer_.setInterval(pollMilliseconds);
    connect(&pollTimer_, &QTimer::timeout, this, [this] {
        flushLog();
        showProgress();
    });
}

RunController::~RunController() {
    abandon();
}

void RunController::attach(Bench &bench) {
    bench.setProgressSink(&progressSink());
    bench.setCancelToken(&cancelToken_);
}

bool RunController::canCancel() const {
    return isRunning() && run_.cancellable && !cancelToken_.cancelled();
}

bool RunController::start(RunDescription run, std::function<void()> work) {
    if (isRunning())
        return false;
    run_ = std::move(run);
    cancelToken_.clear();
    progress_.clear();
    clock_.start();
    thread_ = QThread::create(std::move(work));
    connect(thread_, &QThread::finished, this, &RunController::threadEnded, Qt::QueuedConnection);
    thread_->start();
    pollTimer_.start();
    emit started();
    return true;
}

bool RunController::cancel() {
    if (!canCancel())
        return false;
    cancelToken_.cancel();
    return true;
}

void RunController::abandon() {
    if (!thread_)
        return;
    cancelToken_.cancel();
    joinThread();
}

void RunController::joinThread() {
    thread_->wait();
    delete thread_;
    thread_ = nullptr;
    pollTimer_.stop();
}

void RunController::flushLog() {
    const QString text = logQueue_.take();
    if (!text.isEmpty())
        emit logText(text);
}

void RunController::showProgress() {
    if (const std::optional<Progress> progress = progress_.takeChange())
        emit progressed(*progress, static_cast<double>(clock_.elapsed()) / 1000.0);
}

void RunController::threadEnded() {
    if (!thread_)
        return; // abandoned
    joinThread();
    flushLog();
    emit finished();
}

} // namespace quorlan
