#include "OperationRunner.h"

#include "core/ActivityLog.h"
#include "core/Failure.h"
#include "core/FailureClass.h"
#include "plugin/WpsDetection.h"

#include <QPointer>
#include <QScopeGuard>
#include <QTimer>

OperationRunner::OperationRunner(QObject *parent)
    : QObject(parent)
{
}

QCoro::Task<OperationOutcome> OperationRunner::run(Steps steps)
{
    if (isBusy(steps.flag))
        co_return OperationOutcome::refused(OperationOutcome::Gate::Busy);
    if (!requireWpsClosed(steps.wpsGateAction))
        co_return OperationOutcome::refused(OperationOutcome::Gate::WpsRunning);
    setBusy(steps.flag, true);
    QPointer<OperationRunner> self(this);
    auto resetFlag = qScopeGuard([self, flag = steps.flag] {
        if (self)
            self->setBusy(flag, false);
    });
    // The dialog runs an event loop; the flag is already set, so a second start meanwhile returns.
    if (steps.confirm && (!steps.confirm() || !self))
        co_return OperationOutcome::refused(OperationOutcome::Gate::NotConfirmed);
    showOperation(steps.progressMessage, OperationTone::Info);
    appendLog(steps.startLogLine);
    std::exception_ptr error;
    try {
        co_await steps.work();
    } catch (const std::exception &) {
        error = std::current_exception();
    }
    if (!error)
        co_return self ? OperationOutcome::done() : OperationOutcome::cancelled();
    const FailureClass failure = FailureClass::of(failureKind(error));
    // A cancelled operation was wanted to stop: nothing to show or log.
    if (failure.cancellation || !self)
        co_return OperationOutcome::cancelled();
    // A gate that closed while it ran (WPS started during a long download, say): the gate's own
    // refusal, as at the start.
    if (failure.refusal && !self->requireWpsClosed(steps.wpsGateAction))
        co_return OperationOutcome::refused(OperationOutcome::Gate::WpsRunning);
    const QString sentence = steps.failurePrefix + describeError(error);
    self->showOperation(sentence, OperationTone::Error);
    self->appendLog(sentence);
    co_return OperationOutcome::failed(error);
}

void OperationRunner::showOperation(const QString &message, OperationTone tone)
{
    setOperationMessage(message);
    m_operationTone = tone;
    Q_EMIT operationToneChanged(tone);
    const quint64 token = ++m_operationToken;
    if (tone != OperationTone::Success && tone != OperationTone::Info)
        return;
    // The timer dies with the runner; a newer message has a newer token and is left alone. Precise:
    // a coarse timer may fire up to 5 % early.
    QTimer::singleShot(messageClearDelayMs, Qt::PreciseTimer, this, [this, token] {
        if (m_operationToken == token)
            setOperationMessage(QString());
    });
}

void OperationRunner::appendLog(const QString &message)
{
    ActivityLog::append(message);
}

bool OperationRunner::requireOnline(bool online, const QString &action)
{
    if (online)
        return true;
    showOperation(action + QStringLiteral("需要连接 Corvanta 服务，请联网后重试。"), OperationTone::Error);
    appendLog(action + QStringLiteral("已拦截：当前离线"));
    return false;
}

bool OperationRunner::requireWpsClosed(const QString &action)
{
    if (!WpsDetection::isWpsRunning())
        return true;
    FailureDetails details;
    details.action = action;
    showOperation(Failure::sentenceFor(FailureKind::WpsRunning, details), OperationTone::Error);
    appendLog(action + QStringLiteral("已拦截：WPS 正在运行"));
    return false;
}

PackagePipeline::Handlers OperationRunner::pipelineHandlers()
{
    QPointer<OperationRunner> self(this);
    return {[self](const QString &line) {
                if (self)
                    self->appendLog(line);
            },
            [self](qint64 received, qint64 expected) {
                if (self)
                    self->setDownloadProgress(received, expected);
            }};
}

void OperationRunner::setBusy(BusyFlag flag, bool busy)
{
    if (flag == BusyFlag::Installing) {
        m_isInstalling = busy;
        Q_EMIT isInstallingChanged(busy);
    } else {
        m_isUninstalling = busy;
        Q_EMIT isUninstallingChanged(busy);
    }
}

void OperationRunner::setOperationMessage(const QString &message)
{
    m_operationMessage = message;
    Q_EMIT operationMessageChanged(message);
}

void OperationRunner::setDownloadProgress(qint64 received, qint64 expected)
{
    if (received != m_downloadBytesReceived) {
        m_downloadBytesReceived = received;
        Q_EMIT downloadBytesReceivedChanged(received);
    }
    if (expected != m_downloadBytesExpected) {
        m_downloadBytesExpected = expected;
        Q_EMIT downloadBytesExpectedChanged(expected);
    }
}
