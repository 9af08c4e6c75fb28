#include "AuthToolModel.h"

#include "model/ActivityLog.h"
#include "model/ConnectivityMonitor.h"
#include "model/DescribedError.h"

#include <QPointer>
#include <QScopeGuard>
#include <QTimer>

AuthToolModel::AuthToolModel(QObject *parent)
    : QObject(parent)
    , m_networkMonitor(new ConnectivityMonitor(this))
{
    // From here on connectivity reports reach isOnline; the first arrives from the event loop.
    connect(m_networkMonitor, &ConnectivityMonitor::pathReported, this, &AuthToolModel::setOnline);
    m_networkMonitor->start();
}

AuthToolModel::~AuthToolModel() = default;

QString AuthToolModel::networkLabel() const
{
    return m_isOnline ? QStringLiteral("在线") : QStringLiteral("离线");
}

void AuthToolModel::bootstrap()
{
}

void AuthToolModel::showOperation(const QString &message, OperationTone tone)
{
    setOperationMessage(message);
    m_operationTone = tone;
    Q_EMIT operationToneChanged(tone);
    const quint64 token = ++m_operationToken;
    if (tone != OperationTone::Success && tone != OperationTone::Info)
        return;
    // The timer dies with the model; a newer message has a newer token and is left alone.
    QTimer::singleShot(messageClearDelayMs, this, [this, token] {
        if (m_operationToken == token)
            setOperationMessage(QString());
    });
}

void AuthToolModel::appendLog(const QString &message)
{
    ActivityLog::append(message);
}

bool AuthToolModel::requireOnline(const QString &action)
{
    if (m_isOnline)
        return true;
    showOperation(action + QStringLiteral("需要连接 Corvanta 服务，请联网后重试。"), OperationTone::Error);
    appendLog(action + QStringLiteral("已拦截：当前离线"));
    return false;
}

QCoro::Task<> AuthToolModel::runOperation(OperationSteps steps)
{
    if (isBusy(steps.flag))
        co_return;
    if (steps.gate && !steps.gate())
        co_return;
    setBusy(steps.flag, true);
    QPointer<AuthToolModel> self(this);
    auto resetFlag = qScopeGuard([self, flag = steps.flag] {
        if (self)
            self->setBusy(flag, false);
    });
    showOperation(steps.progressMessage, OperationTone::Info);
    appendLog(steps.startLogLine);

    QString failure;
    try {
        co_await steps.work();
    } catch (const DescribedError &error) {
        failure = error.description();
    } catch (const std::exception &error) {
        failure = QString::fromUtf8(error.what());
    }
    if (failure.isNull() || !self)
        co_return;
    self->showOperation(steps.failurePrefix + failure, OperationTone::Error);
    self->appendLog(steps.failurePrefix + failure);
}

bool AuthToolModel::isBusy(BusyFlag flag) const
{
    switch (flag) {
    case BusyFlag::Installing:
        return m_isInstalling;
    case BusyFlag::Uninstalling:
        return m_isUninstalling;
    case BusyFlag::None:
        break;
    }
    return false;
}

void AuthToolModel::setBusy(BusyFlag flag, bool busy)
{
    switch (flag) {
    case BusyFlag::Installing:
        m_isInstalling = busy;
        Q_EMIT isInstallingChanged(busy);
        break;
    case BusyFlag::Uninstalling:
        m_isUninstalling = busy;
        Q_EMIT isUninstallingChanged(busy);
        break;
    case BusyFlag::None:
        break;
    }
}

// Observers hear of every report, even one that repeats the current value.
void AuthToolModel::setOnline(bool online)
{
    m_isOnline = online;
    Q_EMIT isOnlineChanged(online);
}

void AuthToolModel::setInstalledPluginVersion(const QString &version)
{
    m_installedPluginVersion = version;
    Q_EMIT installedPluginVersionPublishedChanged(version);
}

void AuthToolModel::setLatestPluginVersion(const QString &version)
{
    m_latestPluginVersion = version;
    Q_EMIT latestPluginVersionChanged(version);
}

void AuthToolModel::setPluginInstallState(PluginInstallState state)
{
    m_pluginInstallState = state;
    Q_EMIT pluginInstallStateChanged(state);
}

void AuthToolModel::setOperationMessage(const QString &message)
{
    m_operationMessage = message;
    Q_EMIT operationMessageChanged(message);
}
