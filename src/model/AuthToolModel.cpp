#include "AuthToolModel.h"

#include "core/ActivityLog.h"
#include "core/Failure.h"
#include "core/ToolPaths.h"
#include "model/ConnectivityMonitor.h"
#include "platform/ManagedPolicyReader.h"
#include "model/UninstallFlow.h"
#include "model/UpdateCheck.h"
#include "plugin/PackageDirectory.h"
#include "plugin/PluginVersions.h"
#include "plugin/SignInSession.h"
#include "plugin/WpsDetection.h"

#include <QDesktopServices>
#include <QScopeGuard>
#include <QTimer>

AuthToolModel::AuthToolModel(QObject *parent)
    : AuthToolModel(ClientAuthAPI(), parent)
{
}

AuthToolModel::AuthToolModel(ClientAuthAPI apiClient, QObject *parent, Connectivity connectivity)
    : AuthToolModel(std::move(apiClient), new ConnectivityMonitor, parent)
{
    m_networkMonitor->setParent(this);
    m_ownsNetworkMonitor = true;
    if (connectivity == Connectivity::StartWithModel)
        m_networkMonitor->start();
}

AuthToolModel::AuthToolModel(ClientAuthAPI apiClient, ConnectivityMonitor *connectivity, QObject *parent)
    : QObject(parent)
    , m_apiClient(std::move(apiClient))
    , m_networkMonitor(connectivity)
    , m_ownsNetworkMonitor(false)
    , m_policy(ManagedPolicyReader::system())
{
    // From here on connectivity reports reach isOnline; the first arrives from the event loop.
    connect(m_networkMonitor, &ConnectivityMonitor::pathReported, this, &AuthToolModel::setOnline);
}

AuthToolModel::~AuthToolModel() = default;

QString AuthToolModel::networkLabel() const
{
    return m_isOnline ? QStringLiteral("在线") : QStringLiteral("离线");
}

void AuthToolModel::bootstrap()
{
    if (m_ownsNetworkMonitor && !m_networkMonitor->isStarted())
        m_networkMonitor->start();
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

void AuthToolModel::setPolicy(ManagedPolicy policy)
{
    m_policy = std::move(policy);
}

PackagePipeline::Source AuthToolModel::packageSource() const
{
    return {m_policy.mirror(), m_policy.pinnedVersion()};
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

QCoro::Task<OperationOutcome> AuthToolModel::checkForUpdates()
{
    if (!m_policy.mirror() && !requireOnline(QStringLiteral("检查更新")))
        co_return OperationOutcome::refused(OperationOutcome::Gate::Offline);
    showOperation(QStringLiteral("正在检查最新插件版本..."), OperationTone::Info);
    appendLog(QStringLiteral("用户触发检查更新"));

    QPointer<AuthToolModel> self(this);
    // An invalid policy governs the source too: nothing is asked.
    UpdateCheck::ReleaseAnswer answer = UpdateCheck::ReleaseFailure{m_policy.problem()};
    if (m_policy.isValid())
        answer = co_await UpdateCheck::queryLatestRelease(m_apiClient, packageSource());
    if (!self)
        co_return OperationOutcome::cancelled();
    if (const auto *release = std::get_if<PluginRelease>(&answer)) {
        setLatestPluginVersion(release->version);
        refreshInstalledPluginVersion();
        const UpdateCheck::Message result = UpdateCheck::resultMessage(m_pluginInstallState, release->version);
        showOperation(result.text, result.tone);
        co_return OperationOutcome::done();
    }
    const std::exception_ptr error = std::get<UpdateCheck::ReleaseFailure>(answer).error;
    const QString failure = QStringLiteral("检查更新失败：") + describeError(error);
    appendLog(failure);
    showOperation(failure, OperationTone::Error);
    co_return OperationOutcome::failed(error);
}

QCoro::Task<OperationOutcome> AuthToolModel::checkLatestPluginRelease()
{
    if (!reachesPackageSource())
        co_return OperationOutcome::refused(OperationOutcome::Gate::Offline);
    QPointer<AuthToolModel> self(this);
    // An invalid policy governs the source too: nothing is asked.
    UpdateCheck::ReleaseAnswer answer = UpdateCheck::ReleaseFailure{m_policy.problem()};
    if (m_policy.isValid())
        answer = co_await UpdateCheck::queryLatestRelease(m_apiClient, packageSource());
    if (!self)
        co_return OperationOutcome::cancelled();
    if (const auto *release = std::get_if<PluginRelease>(&answer)) {
        setLatestPluginVersion(release->version);
        recomputeInstallState();
        co_return OperationOutcome::done();
    }
    const std::exception_ptr error = std::get<UpdateCheck::ReleaseFailure>(answer).error;
    appendLog(QStringLiteral("查询最新插件版本失败（保留状态）：") + describeError(error));
    co_return OperationOutcome::failed(error);
}

void AuthToolModel::showOperation(const QString &message, OperationTone tone)
{
    setOperationMessage(message);
    m_operationTone = tone;
    Q_EMIT operationToneChanged(tone);
    const quint64 token = ++m_operationToken;
    if (tone != OperationTone::Success && tone != OperationTone::Info)
        return;
    // The timer dies with the model; a newer message has a newer token and is left alone. Precise:
    // a coarse timer may fire up to 5 % early.
    QTimer::singleShot(messageClearDelayMs, Qt::PreciseTimer, this, [this, token] {
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

void AuthToolModel::openOnlinePath(const QString &path)
{
    if (!requireOnline(QStringLiteral("打开在线页面")))
        return;
    QDesktopServices::openUrl(webURL(path));
}

QCoro::Task<> AuthToolModel::acceptAccountHandoff(QUrl address, QUrl fromPage)
{
    QPointer<AuthToolModel> self(this);
    const SignInSession session(m_credentialStore, webURL(QStringLiteral("/")));
    SignInSession::Outcome outcome = SignInSession::Outcome::Ignored;
    QString failure;
    try {
        outcome = co_await session.accept(std::move(address), std::move(fromPage));
    } catch (const std::exception &error) {
        failure = QStringLiteral("登录失败：") + describeError(error);
    }
    if (!self)
        co_return;
    if (!failure.isNull()) {
        showOperation(failure, OperationTone::Error);
        appendLog(failure);
    } else if (outcome == SignInSession::Outcome::SignedIn) {
        showOperation(QStringLiteral("已登录 Corvanta 账户。"), OperationTone::Success);
        appendLog(QStringLiteral("已登录 Corvanta 账户"));
    } else if (outcome == SignInSession::Outcome::SignedOut) {
        Q_EMIT accountSignedOut();
        showOperation(QStringLiteral("已退出 Corvanta 账户。"), OperationTone::Success);
        appendLog(QStringLiteral("已退出 Corvanta 账户"));
    }
}

QCoro::Task<OperationOutcome> AuthToolModel::installOrRepairPlugin()
{
    return runOperation({
        .flag = BusyFlag::Installing,
        .wpsGateAction = QStringLiteral("安装/修复"),
        .progressMessage = QStringLiteral("正在获取 WPS 插件包..."),
        .startLogLine = QStringLiteral("开始安装或修复 WPS 插件"),
        .failurePrefix = QStringLiteral("安装失败："),
        .work = [this] { return installFromService(); },
    });
}

QCoro::Task<> AuthToolModel::installFromService()
{
    QPointer<AuthToolModel> self(this);
    const QString before = m_installedPluginVersion;
    m_policy.requireValid();
    const CachedPluginPackage package = co_await installFlow().installFromService(m_isOnline);
    if (!self)
        co_return;
    co_await publishInstalled(package);
    if (!self)
        co_return;
    appendLog(QStringLiteral("WPS 插件安装完成（") + package.version + QStringLiteral("）"));
    showOperation(InstallFlow::completionMessage(before, package.version), OperationTone::Success);
}

QCoro::Task<OperationOutcome> AuthToolModel::repairPluginFromCache()
{
    return runOperation({
        .flag = BusyFlag::Installing,
        .wpsGateAction = QStringLiteral("用本机缓存修复"),
        .progressMessage = QStringLiteral("正在用本机缓存修复插件..."),
        .startLogLine = QStringLiteral("开始用本机缓存修复 WPS 插件"),
        .failurePrefix = QStringLiteral("缓存修复失败："),
        .work = [this] { return installFromCache(); },
    });
}

QCoro::Task<> AuthToolModel::installFromCache()
{
    QPointer<AuthToolModel> self(this);
    m_policy.requireValid();
    const CachedPluginPackage package = co_await installFlow().installFromCache();
    if (!self)
        co_return;
    co_await publishInstalled(package);
    if (!self)
        co_return;
    showOperation(QStringLiteral("已用本机缓存 ") + package.version + QStringLiteral(" 修复，联网后请检查更新。"),
                  OperationTone::Warning);
    appendLog(QStringLiteral("本机缓存修复完成（") + package.version + QStringLiteral("）"));
}

// The installed version at once; the state once the latest release is known again.
QCoro::Task<> AuthToolModel::publishInstalled(CachedPluginPackage package)
{
    QPointer<AuthToolModel> self(this);
    setInstalledPluginVersion(package.version);
    co_await checkLatestPluginRelease();
    if (self)
        recomputeInstallState();
}

InstallFlow AuthToolModel::installFlow()
{
    InstallFlow flow(m_apiClient, m_credentialStore, QPointer<QObject>(this), m_installer, publishingHandlers());
    flow.setSource(packageSource());
    return flow;
}

QCoro::Task<OperationOutcome> AuthToolModel::uninstallPlugin()
{
    return runOperation({
        .flag = BusyFlag::Uninstalling,
        .wpsGateAction = QStringLiteral("卸载"),
        .confirm = [this] { return UninstallFlow::confirm(m_confirmationPrompt.get()); },
        .progressMessage = QStringLiteral("正在卸载 WPS 插件..."),
        .startLogLine = QStringLiteral("开始卸载 WPS 插件"),
        .failurePrefix = QStringLiteral("卸载失败："),
        .work = [this] { return uninstallFromWps(); },
    });
}

// Synchronous from start to end: the files are small and nothing waits on the network.
QCoro::Task<> AuthToolModel::uninstallFromWps()
{
    if (UninstallFlow::removeFromWps(ToolPaths::addonDir()) == WpsListPair::Recovery::Abandoned)
        appendLog(WpsListPair::abandonedLogLine);
    setInstalledPluginVersion(QString());
    recomputeInstallState();
    showOperation(QStringLiteral("插件已卸载。完全退出并重新打开 WPS 后生效。"), OperationTone::Success);
    appendLog(QStringLiteral("WPS 插件卸载完成"));
    co_return;
}

QCoro::Task<OperationOutcome> AuthToolModel::runOperation(OperationSteps steps)
{
    if (isBusy(steps.flag))
        co_return OperationOutcome::refused(OperationOutcome::Gate::Busy);
    if (!requireWpsClosed(steps.wpsGateAction))
        co_return OperationOutcome::refused(OperationOutcome::Gate::WpsRunning);
    setBusy(steps.flag, true);
    QPointer<AuthToolModel> self(this);
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
    // A cancelled operation was wanted to stop: nothing to show or log.
    if (failureKind(error) == FailureKind::Cancelled || !self)
        co_return OperationOutcome::cancelled();
    // WPS started while it ran (during a long download, say): the gate's own refusal, as at the start.
    if (failureKind(error) == FailureKind::WpsRunning && !self->requireWpsClosed(steps.wpsGateAction))
        co_return OperationOutcome::refused(OperationOutcome::Gate::WpsRunning);
    const QString failure = describeError(error);
    self->showOperation(steps.failurePrefix + failure, OperationTone::Error);
    self->appendLog(steps.failurePrefix + failure);
    co_return OperationOutcome::failed(error);
}

bool AuthToolModel::requireWpsClosed(const QString &action)
{
    if (!WpsDetection::isWpsRunning())
        return true;
    showOperation(QStringLiteral("请先完全退出 WPS 表格，再点击“") + action + QStringLiteral("”。"), OperationTone::Error);
    appendLog(action + QStringLiteral("已拦截：WPS 正在运行"));
    return false;
}

bool AuthToolModel::isBusy(BusyFlag flag) const
{
    return flag == BusyFlag::Installing ? m_isInstalling : m_isUninstalling;
}

void AuthToolModel::setBusy(BusyFlag flag, bool busy)
{
    if (flag == BusyFlag::Installing) {
        m_isInstalling = busy;
        Q_EMIT isInstallingChanged(busy);
    } else {
        m_isUninstalling = busy;
        Q_EMIT isUninstallingChanged(busy);
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

QCoro::Task<CachedPluginPackage> AuthToolModel::downloadAuthorizedPluginPackage()
{
    PackagePipeline pipeline(m_apiClient, m_credentialStore, QPointer<QObject>(this), publishingHandlers());
    pipeline.setSource(packageSource());
    return pipeline.downloadAuthorizedPluginPackage();
}

// Log lines and download progress reach the model while it lives.
PackagePipeline::Handlers AuthToolModel::publishingHandlers()
{
    QPointer<AuthToolModel> self(this);
    return {[self](const QString &line) {
                if (self)
                    self->appendLog(line);
            },
            [self](qint64 received, qint64 expected) {
                if (self)
                    self->setDownloadProgress(received, expected);
            }};
}

void AuthToolModel::setDownloadProgress(qint64 received, qint64 expected)
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

void AuthToolModel::setConfirmationPrompt(std::shared_ptr<ConfirmationPrompt> prompt)
{
    m_confirmationPrompt = std::move(prompt);
}

void AuthToolModel::setInstallerResources(const QString &resourceDir, double timeoutSeconds)
{
    m_installer = {resourceDir, timeoutSeconds};
}
