#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <chrono>

namespace quorlan {

// Runs an external program with an argument list (no shell) and captures its standard output.
// Standard input is empty, standard error is discarded and the exit status is not examined.
// The run is bounded: a program that cannot start, is still running when the time limit ends
// (it is then killed), or writes more than maxOutputBytes gives empty output, so a
// half-written answer is never taken for a whole one.
class ProgramRunner {
public:
    static constexpr qsizetype maxOutputBytes = 16 * 1024 * 1024;

    explicit ProgramRunner(std::chrono::milliseconds timeLimit = std::chrono::seconds(5))
        : timeLimit_(timeLimit) {}

    QByteArray run(const QString &program, const QStringList &arguments) const;

private:
    std::chrono::milliseconds timeLimit_;
};

} // namespace quorlan
