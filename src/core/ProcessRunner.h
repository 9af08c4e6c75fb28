#pragma once

#include "core/Failure.h"

#include <QCoro/QCoroTask>
#include <QMap>
#include <QString>
#include <QStringList>

struct ProcessResult
{
    int exitCode = 0;
    QString output;
};

// The child could not be started (missing file, no execute permission, ...).
class ProcessLaunchError : public Failure
{
public:
    using Failure::Failure;
};

// Child processes with captured output and a timeout. No state of its own.
namespace ProcessRunner {

inline constexpr double defaultTimeoutSeconds = 45.0;
inline constexpr int timedOutExitCode = 124;
inline constexpr int killGraceMs = 2000;
inline const QString timeoutMessage = QStringLiteral("操作超时，请完全退出 WPS 表格后重试。");

// Why `executable` could not be started, as a short Chinese phrase (e.g. "文件不存在").
QString launchFailureReason(const QString &executable);

// Output empty: the message alone; otherwise output (untrimmed), a line feed, then the message.
QString appendTimeoutMessage(const QString &output);

// The bytes as UTF-8, or the empty text when they are not valid UTF-8.
QString decodeUtf8OrEmpty(const QByteArray &bytes);

// Starts executable directly (no shell) with exactly `environment` as its whole environment (an
// empty map means no variables), in a session and process group of its own. Standard output and
// error arrive merged in write order. On a timeout the whole group (the child and whatever it
// started) is asked to stop (SIGTERM), killed (SIGKILL) 2 s later or as soon as the child has
// ended, whichever comes first, and the result carries 124 and the timeout message. A child that dies of a signal without a timeout reports the signal
// number as its exit code (what QProcess and the product platform both report). Throws
// ProcessLaunchError only when the child cannot be started. The GUI thread never blocks; the child
// is looked after until it ends even when the awaiting coroutine is destroyed first.
QCoro::Task<ProcessResult> run(QString executable, QStringList arguments, QMap<QString, QString> environment,
                               double timeoutSeconds = defaultTimeoutSeconds);

// exitStatus of a runSync that its timeout stopped.
inline constexpr int syncTimedOutStatus = -2;

// Blocking: returns the child's standard output (empty when it cannot start or the output is not
// UTF-8); standard error is discarded; standard input is empty and there is no controlling
// terminal, so nothing can wait for an answer; the child inherits this process's environment. When
// exitStatus is given it receives the exit status, -1 when the child could not be started or did not
// exit normally, syncTimedOutStatus when it ran longer than timeoutMs (negative: no timeout) and
// its process group was killed. Safe to call from a worker thread.
QString runSync(const QString &executable, const QStringList &arguments, int *exitStatus = nullptr,
                int timeoutMs = -1);

} // namespace ProcessRunner
