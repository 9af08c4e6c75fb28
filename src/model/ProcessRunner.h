#pragma once

#include <QCoro/QCoroTask>
#include <QMap>
#include <QString>
#include <QStringList>

struct ProcessResult
{
    int exitCode = 0;
    QString output;
};

// Child processes with captured output and a timeout. No state of its own.
namespace ProcessRunner {

inline constexpr double defaultTimeoutSeconds = 45.0;
inline constexpr int timedOutExitCode = 124;

// Starts executable directly (no shell) with exactly `environment` as its whole environment (an
// empty map means no variables). Standard output and error arrive merged in write order. On a
// timeout the child is asked to stop, killed 2 s later, and the result carries 124 and the timeout
// message. Throws only when the child cannot be started. The GUI thread never blocks.
QCoro::Task<ProcessResult> run(QString executable, QStringList arguments, QMap<QString, QString> environment,
                               double timeoutSeconds = defaultTimeoutSeconds);

// Blocking: returns the child's standard output (empty when it cannot start or the output is not
// UTF-8); standard error is discarded; the child inherits this process's environment; no timeout.
// When exitStatus is given it receives the exit status, or -1 when the child could not be started
// or did not exit normally.
QString runSync(const QString &executable, const QStringList &arguments, int *exitStatus = nullptr);

} // namespace ProcessRunner
