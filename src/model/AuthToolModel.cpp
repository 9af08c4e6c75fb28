#include "AuthToolModel.h"

#include "model/ConnectivityMonitor.h"
#include "model/InstallOperation.h"
#include "model/SignInHandoff.h"
#include "model/UninstallOperation.h"
#include "model/UpdateCheckOperation.h"
#include "platform/ManagedPolicyReader.h"
#include "plugin/PackageDirectory.h"
#include "plugin/PluginVersions.h"

#include <QDesktopServices>
#include <QTimer>

AuthToolModel::AuthToolModel(ClientAuthAPI apiClient, ConnectivityMonitor *connectivity, QObject *parent)
    : QObject(parent)
    , m_apiClient(std::move(apiClient))
    , m_policy(ManagedPolicyReader::system())
{
    if (!connectivity) {
        connectivity = new ConnectivityMonitor(this);
        connectivity->start();
    }
    // From here on connectivity reports reach isOnline; the first arrives from the event loop.
    connect(connectivity, &ConnectivityMonitor::pathReported, this, &AuthToolModel::setOnline);
    connect(&m_runner, &OperationRunner::isInstallingChanged, this, &AuthToolModel::isInstallingChanged);
    connect(&m_runner, &OperationRunner::isUninstallingChanged, this, &AuthToolModel::isUninstallingChanged);
    connect(&m_runner, &OperationRunner::operationMessageChanged, this, &AuthToolModel::operationMessageChanged);
    connect(&m_runner, &OperationRunner::operationToneChanged, this, &AuthToolModel::operationToneChanged);
    connect(&m_runner, &OperationRunner::downloadBytesReceivedChanged, this, &AuthToolModel::downloadBytesReceivedChanged);
    connect(&m_runner, &OperationRunner::downloadBytesExpectedChanged, this, &AuthToolModel::downloadBytesExpectedChanged);
}

AuthToolModel::~AuthToolModel() = default;

QString AuthToolModel::networkLabel() const
{
    return m_isOnline ? QStringLiteral("在线") : QStringLiteral("离线");
}

void AuthToolModel::bootstrap()
{
    // Synchronous, so the install state is known before the first release answer arrives.
    refreshInstalledPluginVersion();
    scheduleUpdateChecks();
}

// Policy decides when the tool asks by itself; the user's check is always there.
void AuthToolModel::scheduleUpdateChecks()
{
    if (m_policy.updateCheck() == ManagedPolicy::UpdateCheck::Manual)
        return;
    QTimer::singleShot(0, this, [this] { checkLatestPluginRelease(); });
    if (m_policy.updateCheck() != ManagedPolicy::UpdateCheck::Daily)
        return;
    auto *daily = new QTimer(this);
    connect(daily, &QTimer::timeout, this, [this] { checkLatestPluginRelease(); });
    daily->start(std::chrono::hours(24));
}

void AuthToolModel::openOnlinePath(const QString &path)
{
    if (!requireOnline(QStringLiteral("打开在线页面")))
        return;
    QDesktopServices::openUrl(webURL(path));
}

InstallFlow AuthToolModel::installFlow()
{
    InstallFlow flow(m_apiClient, m_credentialStore, QPointer<QObject>(this), m_installer, m_runner.pipelineHandlers());
    flow.setSource(packageSource());
    return flow;
}

void AuthToolModel::refreshInstalledPluginVersion()
{
    setInstalledPluginVersion(PackageDirectory::installedPluginVersionFromDisk());
    recomputeInstallState();
}

void AuthToolModel::recomputeInstallState()
{
    setPluginInstallState(PluginVersions::installStateFor(m_latestPluginVersion, m_installedPluginVersion));
}

QCoro::Task<> AuthToolModel::publishInstalled(QString version)
{
    QPointer<AuthToolModel> self(this);
    setInstalledPluginVersion(version);
    co_await checkLatestPluginRelease();
    if (self)
        recomputeInstallState();
}

QCoro::Task<OperationOutcome> AuthToolModel::checkForUpdates()
{
    return launch(new UpdateCheckOperation(this, UpdateCheckOperation::Asker::User));
}

QCoro::Task<OperationOutcome> AuthToolModel::checkLatestPluginRelease()
{
    return launch(new UpdateCheckOperation(this, UpdateCheckOperation::Asker::Tool));
}

QCoro::Task<OperationOutcome> AuthToolModel::installOrRepairPlugin()
{
    return launch(new InstallOperation(this, InstallOperation::Origin::Service));
}

QCoro::Task<OperationOutcome> AuthToolModel::repairPluginFromCache()
{
    return launch(new InstallOperation(this, InstallOperation::Origin::Cache));
}

QCoro::Task<OperationOutcome> AuthToolModel::uninstallPlugin()
{
    return launch(new UninstallOperation(this));
}

QCoro::Task<OperationOutcome> AuthToolModel::acceptAccountHandoff(QUrl address, QUrl fromPage)
{
    return launch(new SignInHandoff(this, std::move(address), std::move(fromPage)));
}

// The operation is started here and awaited through its finished signal, as any observer would;
// it is still there to ask even when it finished while starting.
QCoro::Task<OperationOutcome> AuthToolModel::launch(Operation *operation)
{
    operation->start();
    co_return co_await operation->result();
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

void AuthToolModel::setConfirmationPrompt(std::shared_ptr<ConfirmationPrompt> prompt)
{
    m_confirmationPrompt = std::move(prompt);
}

void AuthToolModel::setInstallerResources(const QString &resourceDir, double timeoutSeconds)
{
    m_installer = {resourceDir, timeoutSeconds};
}
