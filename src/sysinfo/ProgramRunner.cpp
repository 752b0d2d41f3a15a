#include "sysinfo/ProgramRunner.h"

#include <QDeadlineTimer>
#include <QProcess>

#include <algorithm>

namespace quorlan {

namespace {

// How long a killed program may take to be reaped.
constexpr int reapMilliseconds = 1000;

int remaining(const QDeadlineTimer &deadline) {
    return static_cast<int>(std::max<qint64>(0, deadline.remainingTime()));
}

void stop(QProcess &process) {
    if (process.state() == QProcess::NotRunning)
        return;
    process.kill();
    process.waitForFinished(reapMilliseconds);
}

} // namespace

QByteArray ProgramRunner::run(const QString &program, const QStringList &arguments) const {
    QProcess process;
    process.setProgram(program);
    process.setArguments(arguments);
    process.setStandardInputFile(QProcess::nullDevice());
    process.setStandardErrorFile(QProcess::nullDevice());
    const QDeadlineTimer deadline(timeLimit_.count());
    process.start(QIODevice::ReadOnly);
    if (!process.waitForStarted(remaining(deadline)))
        return {};
    QByteArray output;
    while (process.state() != QProcess::NotRunning && output.size() <= maxOutputBytes) {
        // Returns false both when the program has ended and when the time is up.
        if (!process.waitForReadyRead(remaining(deadline))) {
            process.waitForFinished(remaining(deadline));
            break;
        }
        output += process.readAllStandardOutput();
    }
    const bool ended = process.state() == QProcess::NotRunning;
    stop(process);
    output += process.readAllStandardOutput();
    if (!ended || output.size() > maxOutputBytes)
        return {};
    return output;
}

} // namespace quorlan
