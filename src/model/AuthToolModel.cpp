#include "AuthToolModel.h"

#include "core/ActivityLog.h"
#include "core/AppConstants.h"
#include "core/BundleCopy.h"
#include "core/ConfirmationPrompt.h"
#include "core/DescribedError.h"
#include "core/LocalFiles.h"
#include "core/ToolPaths.h"
#include "model/ConnectivityMonitor.h"
#include "plugin/InstallerScriptRun.h"
#include "plugin/OperationLock.h"
#include "plugin/PackageDirectory.h"
#include "plugin/PackagePipeline.h"
#include "plugin/PluginVersions.h"
#include "plugin/WpsAddonEdits.h"
#include "plugin/WpsDetection.h"
#include "platform/HostPlatform.h"
#include "platform/ToolPlacement.h"
#include "plugin/SignInSession.h"
#include "service/AuthToolError.h"
#include "service/TransportError.h"

#include <QDesktopServices>
#include <QDir>
#include <QPointer>
#include <QScopeGuard>
#include <QTimer>

#include <variant>

namespace {

// Why there is no release. Wrapped: a task's own result must not be a bare exception_ptr, which
// the task would take for an error of its own.
struct ReleaseFailure
{
    std::exception_ptr error;
};

// The release of the update check and the silent refresh, or the error of why there is none.
using ReleaseAnswer = std::variant<PluginRelease, ReleaseFailure>;

// Takes the client by value: the model may be gone by the time the answer arrives.
QCoro::Task<ReleaseAnswer> queryLatestRelease(ClientAuthAPI api)
{
    try {
        co_return co_await api.latestRelease(QStringLiteral("darwin"));
    } catch (const std::exception &) {
        co_return ReleaseFailure{std::current_exception()};
    }
}

} // namespace

AuthToolModel::AuthToolModel(QObject *parent)
    : AuthToolModel(ClientAuthAPI(), parent)
{
}

AuthToolModel::AuthToolModel(ClientAuthAPI apiClient, QObject *parent, Connectivity connectivity)
    : QObject(parent)
    , m_apiClient(std::move(apiClient))
    , m_networkMonitor(new ConnectivityMonitor(this))
{
    // From here on connectivity reports reach isOnline; the first arrives from the event loop.
    connect(m_networkMonitor, &ConnectivityMonitor::pathReported, this, &AuthToolModel::setOnline);
    if (connectivity == Connectivity::StartWithModel)
        m_networkMonitor->start();
}

AuthToolModel::~AuthToolModel() = default;

QString AuthToolModel::networkLabel() const
{
    return m_isOnline ? QStringLiteral("在线") : QStringLiteral("离线");
}

void AuthToolModel::bootstrap()
{
    if (!m_networkMonitor->isStarted())
        m_networkMonitor->start();
    // Synchronous, so the install state is known before the first release answer arrives.
    refreshInstalledPluginVersion();
    QTimer::singleShot(0, this, [this] { checkLatestPluginRelease(); });
}

QString AuthToolModel::installedPluginVersionFromDisk() const
{
    return PackageDirectory::installedPluginVersionFromDisk();
}

void AuthToolModel::refreshInstalledPluginVersion()
{
    setInstalledPluginVersion(installedPluginVersionFromDisk());
    recomputeInstallState();
}

void AuthToolModel::recomputeInstallState()
{
    setPluginInstallState(PluginVersions::installStateFor(m_latestPluginVersion, m_installedPluginVersion));
}

QCoro::Task<> AuthToolModel::checkForUpdates()
{
    if (!requireOnline(QStringLiteral("检查更新")))
        co_return;
    showOperation(QStringLiteral("正在检查最新插件版本..."), OperationTone::Info);
    appendLog(QStringLiteral("用户触发检查更新"));

    QPointer<AuthToolModel> self(this);
    const ReleaseAnswer answer = co_await queryLatestRelease(m_apiClient);
    if (!self)
        co_return;
    if (const auto *release = std::get_if<PluginRelease>(&answer)) {
        showUpdateCheckResult(release->version);
        co_return;
    }
    const std::exception_ptr error = std::get<ReleaseFailure>(answer).error;
    const QString failure = QStringLiteral("检查更新失败：") + describeError(error);
    appendLog(failure);
    showOperation(failure, OperationTone::Error);
    Q_EMIT failureReported(error);
}

void AuthToolModel::showUpdateCheckResult(const QString &version)
{
    setLatestPluginVersion(version);
    refreshInstalledPluginVersion();
    switch (m_pluginInstallState) {
    case PluginInstallState::Unknown:
        showOperation(QStringLiteral("检查更新完成（状态未知）。"), OperationTone::Info);
        break;
    case PluginInstallState::NotInstalled:
        showOperation(QStringLiteral("尚未安装插件，可点击「安装」从 ") + version + QStringLiteral(" 开始。"),
                      OperationTone::Info);
        break;
    case PluginInstallState::UpdateAvailable:
        showOperation(QStringLiteral("发现新版本 ") + version + QStringLiteral("，可点击「更新到 ") + version
                          + QStringLiteral("」安装。"),
                      OperationTone::Info);
        break;
    case PluginInstallState::UpToDate:
        showOperation(QStringLiteral("本机插件已是最新版 ") + version + QStringLiteral("。"), OperationTone::Success);
        break;
    }
}

QCoro::Task<> AuthToolModel::checkLatestPluginRelease()
{
    if (!m_isOnline)
        co_return;
    QPointer<AuthToolModel> self(this);
    const ReleaseAnswer answer = co_await queryLatestRelease(m_apiClient);
    if (!self)
        co_return;
    if (const auto *release = std::get_if<PluginRelease>(&answer)) {
        setLatestPluginVersion(release->version);
        recomputeInstallState();
    } else {
        const std::exception_ptr error = std::get<ReleaseFailure>(answer).error;
        appendLog(QStringLiteral("查询最新插件版本失败（保留状态）：") + describeError(error));
        Q_EMIT failureReported(error);
    }
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
    // The dialog runs an event loop; the flag is already set, so a second start meanwhile returns.
    if (steps.confirm && (!steps.confirm() || !self))
        co_return;
    showOperation(steps.progressMessage, OperationTone::Info);
    appendLog(steps.startLogLine);

    std::exception_ptr error;
    try {
        co_await steps.work();
    } catch (const std::exception &caught) {
        // A cancelled operation was wanted to stop: nothing to show or log.
        if (!isCancellation(caught))
            error = std::current_exception();
    }
    if (!error || !self)
        co_return;
    const QString failure = describeError(error);
    self->showOperation(steps.failurePrefix + failure, OperationTone::Error);
    self->appendLog(steps.failurePrefix + failure);
    Q_EMIT self->failureReported(error);
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

QCoro::Task<CachedPluginPackage> AuthToolModel::downloadAuthorizedPluginPackage()
{
    QPointer<AuthToolModel> self(this);
    const PackagePipeline pipeline(m_apiClient, m_credentialStore, QPointer<QObject>(this),
                                   PackagePipeline::Handlers{
                                       [self](const QString &line) {
                                           if (self)
                                               self->appendLog(line);
                                       },
                                       [self](qint64 received, qint64 expected) {
                                           if (self)
                                               self->setDownloadProgress(received, expected);
                                       },
                                   });
    return pipeline.downloadAuthorizedPluginPackage();
}

std::optional<CachedPluginPackage> AuthToolModel::latestCachedPluginPackage() const
{
    return PackageDirectory::latestCachedPluginPackage();
}

QString AuthToolModel::ensureInstalledManagementApp(const AppBundle &running)
{
    const QString target = QDir::cleanPath(ToolPaths::managementToolAppPath());
    const QString source = ToolPlacement::placementSource(running, target);
    if (source.isEmpty())
        return target;
    BundleCopy::replaceWithCopy(source, target);
    removeLegacyToolIfSafe();
    appendLog(QStringLiteral("管理工具已安装到：") + target);
    return target;
}

void AuthToolModel::removeLegacyToolIfSafe()
{
    const QString legacy = QDir::cleanPath(ToolPaths::legacyToolAppPath());
    if (legacy == QDir::cleanPath(ToolPaths::managementToolAppPath()) || !ToolPlacement::isOwnLegacyTool(legacy))
        return;
    try {
        LocalFiles::removeEntry(legacy);
    } catch (const DescribedError &) {
        return;
    }
    appendLog(QStringLiteral("已清理旧版 ") + legacyToolName + QStringLiteral("：") + legacy);
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

QCoro::Task<> AuthToolModel::installOrRepairPlugin()
{
    OperationSteps steps;
    steps.flag = BusyFlag::Installing;
    steps.gate = [this] { return requireWpsClosed(QStringLiteral("安装/修复")); };
    steps.progressMessage = QStringLiteral("正在获取 WPS 插件包...");
    steps.startLogLine = QStringLiteral("开始安装或修复 WPS 插件");
    steps.failurePrefix = QStringLiteral("安装失败：");
    steps.work = [this] { return installFromService(); };
    return runOperation(std::move(steps));
}

QCoro::Task<> AuthToolModel::installFromService()
{
    QPointer<AuthToolModel> self(this);
    const auto lock = OperationLock::acquire();
    const QString before = m_installedPluginVersion;
    const QString app = HostPlatform::toolPlacesItself() ? ensureInstalledManagementApp() : HostPlatform::packagedToolPath();
    const CachedPluginPackage package = co_await resolvePluginPackageForInstall();
    if (!self)
        co_return;
    co_await installAndPublish(app, package);
    if (!self)
        co_return;
    appendLog(QStringLiteral("WPS 插件安装完成（") + package.version + QStringLiteral("）"));
    showOperation(installCompletionMessage(before, package.version), OperationTone::Success);
}

QCoro::Task<> AuthToolModel::repairPluginFromCache()
{
    OperationSteps steps;
    steps.flag = BusyFlag::Installing;
    steps.gate = [this] { return requireWpsClosed(QStringLiteral("用本机缓存修复")); };
    steps.progressMessage = QStringLiteral("正在用本机缓存修复插件...");
    steps.startLogLine = QStringLiteral("开始用本机缓存修复 WPS 插件");
    steps.failurePrefix = QStringLiteral("缓存修复失败：");
    steps.work = [this] { return installFromCache(); };
    return runOperation(std::move(steps));
}

QCoro::Task<> AuthToolModel::installFromCache()
{
    QPointer<AuthToolModel> self(this);
    const auto lock = OperationLock::acquire();
    const QString app = HostPlatform::toolPlacesItself() ? ensureInstalledManagementApp() : HostPlatform::packagedToolPath();
    const std::optional<CachedPluginPackage> package = latestCachedPluginPackage();
    if (!package)
        throw AuthToolError::message(QStringLiteral("本机没有可用插件包缓存。请联网后点击安装或更新。"));
    co_await installAndPublish(app, *package);
    if (!self)
        co_return;
    showOperation(QStringLiteral("已用本机缓存 ") + package->version + QStringLiteral(" 修复，联网后请检查更新。"),
                  OperationTone::Warning);
    appendLog(QStringLiteral("本机缓存修复完成（") + package->version + QStringLiteral("）"));
}

QCoro::Task<> AuthToolModel::installAndPublish(QString managementAppPath, CachedPluginPackage package)
{
    QPointer<AuthToolModel> self(this);
    PluginVersions::ensureManagerSupports(package);
    co_await runInstaller(managementAppPath, package.directory);
    if (!self)
        co_return;
    setInstalledPluginVersion(package.version);
    co_await checkLatestPluginRelease();
    if (self)
        recomputeInstallState();
}

bool AuthToolModel::isWpsRunning() const
{
    return WpsDetection::isWpsRunning();
}

bool AuthToolModel::requireWpsClosed(const QString &action)
{
    if (!isWpsRunning())
        return true;
    showOperation(QStringLiteral("请先完全退出 WPS 表格，再点击“") + action + QStringLiteral("”。"), OperationTone::Error);
    appendLog(action + QStringLiteral("已拦截：WPS 正在运行"));
    return false;
}

QCoro::Task<CachedPluginPackage> AuthToolModel::resolvePluginPackageForInstall()
{
    if (!m_isOnline) {
        throw AuthToolError::message(installOfflineMessage);
    }
    QPointer<AuthToolModel> self(this);
    QString networkFailure;
    try {
        co_return co_await downloadAuthorizedPluginPackage();
    } catch (const std::exception &error) {
        if (!isNetworkError(error))
            throw;
        networkFailure = describeError(error);
    }
    if (self)
        appendLog(QStringLiteral("远端插件包获取失败，未自动使用本机缓存：") + networkFailure);
    throw AuthToolError::message(installUnreachableMessage);
}

QCoro::Task<> AuthToolModel::runInstaller(QString managementAppPath, QString packageDirectory)
{
    return InstallerScriptRun::run(m_installerResourceDir, managementAppPath, packageDirectory,
                                   m_installerTimeoutSeconds);
}

QString AuthToolModel::installCompletionMessage(const QString &installedBefore, const QString &installedAfter)
{
    const QString before = installedBefore.trimmed();
    const QString after = installedAfter.trimmed();
    if (before.isEmpty())
        return QStringLiteral("插件 ") + after + QStringLiteral(" 已安装。请完全退出并重新打开 WPS 表格。");
    if (before.compare(after, Qt::CaseInsensitive) == 0)
        return QStringLiteral("插件已确认为最新版 ") + after + QStringLiteral("。");
    return QStringLiteral("插件已从 ") + before + QStringLiteral(" 更新到 ") + after
        + QStringLiteral("。请完全退出并重新打开 WPS 表格。");
}

QString AuthToolModel::addonDir() const
{
    return ToolPaths::addonDir();
}

QCoro::Task<> AuthToolModel::uninstallPlugin()
{
    OperationSteps steps;
    steps.flag = BusyFlag::Uninstalling;
    steps.gate = [this] { return requireWpsClosed(QStringLiteral("卸载")); };
    steps.confirm = [this] { return confirmUninstall(); };
    steps.progressMessage = QStringLiteral("正在卸载 WPS 插件...");
    steps.startLogLine = QStringLiteral("开始卸载 WPS 插件");
    steps.failurePrefix = QStringLiteral("卸载失败：");
    steps.work = [this] { return uninstallFromWps(); };
    return runOperation(std::move(steps));
}

// Synchronous from start to end: the files are small and nothing waits on the network.
QCoro::Task<> AuthToolModel::uninstallFromWps()
{
    {
        const auto lock = OperationLock::acquire();
        removePluginDirectories();
        removePublishEntries();
        removeAuthEntries();
    }
    setInstalledPluginVersion(QString());
    recomputeInstallState();
    showOperation(QStringLiteral("插件已卸载。完全退出并重新打开 WPS 后生效。"), OperationTone::Success);
    appendLog(QStringLiteral("WPS 插件卸载完成"));
    co_return;
}

bool AuthToolModel::confirmUninstall()
{
    if (!m_confirmationPrompt)
        return false;
    return m_confirmationPrompt->confirm(
        {QStringLiteral("卸载 Corvanta分析插件？"),
         QStringLiteral("只会移除 WPS 表格中的 CorvantaAnalysis 加载项，不会删除管理工具或其他内容。"),
         QStringLiteral("卸载"), QStringLiteral("取消")});
}

void AuthToolModel::removePluginDirectories()
{
    WpsAddonEdits::removePluginDirectories(addonDir());
}

void AuthToolModel::removePublishEntries()
{
    WpsAddonEdits::removePublishEntries(addonDir());
}

void AuthToolModel::removeAuthEntries()
{
    WpsAddonEdits::removeAuthEntries(addonDir());
}

void AuthToolModel::setConfirmationPrompt(std::shared_ptr<ConfirmationPrompt> prompt)
{
    m_confirmationPrompt = std::move(prompt);
}

void AuthToolModel::setInstallerResources(const QString &resourceDir, double timeoutSeconds)
{
    m_installerResourceDir = resourceDir;
    m_installerTimeoutSeconds = timeoutSeconds;
}
