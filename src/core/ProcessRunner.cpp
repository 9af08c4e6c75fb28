#include "ProcessRunner.h"

#include <QFileInfo>
#include <QProcess>
#include <QProcessEnvironment>
#include <QStringDecoder>
#include <QTimer>

#include <algorithm>
#include <climits>
#include <csignal>
#include <coroutine>
#include <exception>
#include <memory>
#include <optional>

#include <unistd.h>

namespace ProcessRunner {

namespace {

// Everything one asynchronous run shares between the process's signal handlers and the awaiting
// coroutine. All of it lives on the GUI thread, so no lock is needed.
struct RunState
{
    QByteArray output;
    bool timedOut = false;
    bool completed = false;
    // The child's process group (its pid, as it leads a session of its own); 0 before it started.
    qint64 group = 0;
    std::optional<ProcessResult> result;
    std::exception_ptr error;
    std::coroutine_handle<> waiter;

    // Test-and-set: only the caller that gets true may deliver the outcome.
    bool complete()
    {
        if (completed)
            return false;
        completed = true;
        return true;
    }
};

// Resumes the awaiting coroutine from a fresh event-loop turn (never from inside a QProcess signal),
// and only if it still exists.
void wakeWaiter(const std::shared_ptr<RunState> &state)
{
    QTimer::singleShot(0, [state] {
        if (auto waiter = std::exchange(state->waiter, {}))
            waiter.resume();
    });
}

// A coroutine destroyed while waiting must not be resumed later: this lives in its frame.
struct WaiterGuard
{
    std::shared_ptr<RunState> state;
    ~WaiterGuard() { state->waiter = {}; }
};

class RunAwaiter
{
public:
    explicit RunAwaiter(std::shared_ptr<RunState> state)
        : m_state(std::move(state))
    {
    }

    bool await_ready() const noexcept { return m_state->completed; }
    void await_suspend(std::coroutine_handle<> waiter) noexcept { m_state->waiter = waiter; }
    ProcessResult await_resume()
    {
        if (m_state->error)
            std::rethrow_exception(m_state->error);
        return *m_state->result;
    }

private:
    std::shared_ptr<RunState> m_state;
};

int timeoutMilliseconds(double seconds)
{
    const double ms = seconds * 1000.0;
    if (!(ms > 0))
        return 0;
    return ms >= double(INT_MAX) ? INT_MAX : int(ms);
}

// A session of its own: its own process group, which a timeout stops as a whole (a script's cp and
// helpers with it), and no controlling terminal, so no child can sit waiting for a typed answer.
void startOwnSession(QProcess &process)
{
    process.setChildProcessModifier([] { ::setsid(); });
}

void signalGroup(qint64 group, int signal)
{
    if (group > 0)
        ::kill(-pid_t(group), signal);
}

QProcessEnvironment environmentFrom(const QMap<QString, QString> &variables)
{
    QProcessEnvironment environment; // empty: the child gets nothing we do not pass
    for (auto it = variables.cbegin(); it != variables.cend(); ++it)
        environment.insert(it.key(), it.value());
    return environment;
}

// Starts the child and wires its lifetime: the QProcess has no parent and deletes itself once it
// has finished (or failed to start), so it is never destroyed while running, whatever happens to
// the coroutine that waits for it. The timers are its children and die with it.
void startChild(const std::shared_ptr<RunState> &state, const QString &executable, const QStringList &arguments,
                const QMap<QString, QString> &environment, double timeoutSeconds)
{
    auto *process = new QProcess;
    process->setProcessChannelMode(QProcess::MergedChannels);
    process->setStandardInputFile(QProcess::nullDevice());
    process->setProcessEnvironment(environmentFrom(environment));
    startOwnSession(*process);

    auto *timeoutTimer = new QTimer(process);
    timeoutTimer->setSingleShot(true);
    timeoutTimer->setTimerType(Qt::PreciseTimer);
    auto *killTimer = new QTimer(process);
    killTimer->setSingleShot(true);
    killTimer->setTimerType(Qt::PreciseTimer);
    killTimer->setInterval(killGraceMs);

    QObject::connect(process, &QProcess::readyReadStandardOutput, process,
                     [state, process] { state->output += process->readAllStandardOutput(); });

    QObject::connect(process, &QProcess::errorOccurred, process, [state, process, executable](QProcess::ProcessError error) {
        if (error != QProcess::FailedToStart || !state->complete())
            return;
        FailureDetails details;
        details.path = executable;
        details.output = launchFailureReason(executable);
        state->error = std::make_exception_ptr(ProcessLaunchError(FailureKind::LaunchFailed, std::move(details)));
        wakeWaiter(state);
        process->deleteLater();
    });

    QObject::connect(process, &QProcess::finished, process,
                     [state, process, timeoutTimer, killTimer](int exitCode, QProcess::ExitStatus) {
                         timeoutTimer->stop();
                         killTimer->stop();
                         // What the stopped script started must not go on writing once its failure
                         // is reported and the lock released.
                         if (state->timedOut)
                             signalGroup(state->group, SIGKILL);
                         state->output += process->readAllStandardOutput();
                         QString output = decodeUtf8OrEmpty(state->output);
                         state->output.clear();
                         if (state->timedOut) {
                             output = appendTimeoutMessage(output);
                             exitCode = timedOutExitCode;
                         }
                         process->deleteLater();
                         if (!state->complete())
                             return;
                         state->result = ProcessResult{exitCode, output};
                         wakeWaiter(state);
                     });

    QObject::connect(timeoutTimer, &QTimer::timeout, process, [state, process, killTimer] {
        if (process->state() == QProcess::NotRunning)
            return;
        state->timedOut = true;
        signalGroup(state->group, SIGTERM);
        killTimer->start();
    });
    QObject::connect(killTimer, &QTimer::timeout, process, [state, process] {
        if (process->state() != QProcess::NotRunning)
            signalGroup(state->group, SIGKILL);
    });
    QObject::connect(process, &QProcess::started, timeoutTimer, [state, process, timeoutTimer, timeoutSeconds] {
        state->group = process->processId();
        timeoutTimer->start(timeoutMilliseconds(timeoutSeconds));
    });

    process->start(executable, arguments);
}

} // namespace

QString launchFailureReason(const QString &executable)
{
    const QFileInfo info(executable);
    if (!info.exists())
        return QStringLiteral("文件不存在");
    if (info.isDir())
        return QStringLiteral("这是一个目录，不是程序");
    if (!info.isExecutable())
        return QStringLiteral("没有执行权限");
    return QStringLiteral("系统无法运行该程序");
}

QString appendTimeoutMessage(const QString &output)
{
    if (output.isEmpty())
        return timeoutMessage;
    return output + QLatin1Char('\n') + timeoutMessage;
}

QString decodeUtf8OrEmpty(const QByteArray &bytes)
{
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless | QStringDecoder::Flag::ConvertInitialBom);
    QString text = decoder.decode(bytes);
    return decoder.hasError() ? QString() : text;
}

QCoro::Task<ProcessResult> run(QString executable, QStringList arguments, QMap<QString, QString> environment,
                               double timeoutSeconds)
{
    auto state = std::make_shared<RunState>();
    startChild(state, executable, arguments, environment, timeoutSeconds);
    const WaiterGuard guard{state};
    co_return co_await RunAwaiter(state);
}

QString runSync(const QString &executable, const QStringList &arguments, int *exitStatus, int timeoutMs)
{
    QProcess process;
    // No input: a child asking a question (unzip on a clash) must read end-of-file, not wait forever.
    process.setStandardInputFile(QProcess::nullDevice());
    process.setStandardErrorFile(QProcess::nullDevice());
    // Nor a terminal: unzip asks for a password on /dev/tty, not on its input.
    startOwnSession(process);
    process.start(executable, arguments);
    if (!process.waitForStarted(-1)) {
        if (exitStatus)
            *exitStatus = -1;
        return {};
    }
    const qint64 group = process.processId();
    const bool finished = process.waitForFinished(timeoutMs < 0 ? -1 : timeoutMs);
    if (!finished) {
        signalGroup(group, SIGKILL);
        process.waitForFinished(-1);
    }
    const QByteArray output = process.readAllStandardOutput();
    if (exitStatus)
        *exitStatus = !finished ? syncTimedOutStatus
            : process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    return decodeUtf8OrEmpty(output);
}

} // namespace ProcessRunner
