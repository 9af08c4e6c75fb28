#include "InstallFlow.h"

#include "core/Failure.h"
#include "core/FailureClass.h"
#include "model/ManagementAppPlacement.h"
#include "plugin/InstallerScriptRun.h"
#include "plugin/OperationLock.h"
#include "plugin/PackageDirectory.h"
#include "plugin/PluginVersions.h"

#include <optional>

InstallFlow::InstallFlow(ClientAuthAPI api, AccountCredentialStore credentialStore, QPointer<QObject> owner,
                         Installer installer, PackagePipeline::Handlers handlers)
    : m_api(std::move(api))
    , m_credentialStore(std::move(credentialStore))
    , m_owner(std::move(owner))
    , m_installer(std::move(installer))
    , m_handlers(std::move(handlers))
{
}

// Each step runs on a copy held by its coroutine frame, so the caller may go away meanwhile.
QCoro::Task<CachedPluginPackage> InstallFlow::installFromService(bool online) const
{
    const InstallFlow self = *this;
    const auto lock = OperationLock::acquire();
    const QString app = ManagementAppPlacement::managementAppForInstall();
    const CachedPluginPackage package = co_await self.resolvePluginPackageForInstall(online);
    co_await self.installPackage(app, package);
    co_return package;
}

QCoro::Task<CachedPluginPackage> InstallFlow::installFromCache() const
{
    const InstallFlow self = *this;
    const auto lock = OperationLock::acquire();
    const QString app = ManagementAppPlacement::managementAppForInstall();
    const std::optional<CachedPluginPackage> package = PackageDirectory::latestCachedPluginPackage();
    if (!package)
        throw Failure(FailureKind::NoCachedPackage);
    co_await self.installPackage(app, *package);
    co_return *package;
}

// The cache is never used in place of the service: an install that cannot reach it says so and
// points to the cache repair instead.
QCoro::Task<CachedPluginPackage> InstallFlow::resolvePluginPackageForInstall(bool online) const
{
    // A mirror may be a file share or an address on a network without internet: it answers for
    // itself whether it can be reached.
    if (!online && !m_source.mirror)
        throw Failure(FailureKind::Offline);
    const InstallFlow self = *this;
    PackagePipeline pipeline(self.m_api, self.m_credentialStore, self.m_owner, self.m_handlers);
    pipeline.setSource(self.m_source);
    std::exception_ptr networkFailure;
    try {
        co_return co_await pipeline.downloadAuthorizedPluginPackage();
    } catch (const std::exception &) {
        if (!FailureClass::of(failureKind(std::current_exception())).network)
            throw;
        networkFailure = std::current_exception();
    }
    if (self.m_handlers.log)
        self.m_handlers.log(QStringLiteral("远端插件包获取失败，未自动使用本机缓存：") + describeError(networkFailure));
    throw Failure(FailureKind::ServiceUnreachable);
}

QCoro::Task<> InstallFlow::installPackage(QString managementAppPath, CachedPluginPackage package) const
{
    const InstallFlow self = *this;
    PluginVersions::ensureManagerSupports(package);
    const InstallerScriptRun::Result installed = co_await InstallerScriptRun::run(
        self.m_installer.resourceDir, managementAppPath, package.directory, self.m_installer.timeoutSeconds);
    // The new version is registered: an old folder that would not go is named, not a failure.
    if (!installed.leftovers.isEmpty() && self.m_owner && self.m_handlers.log)
        self.m_handlers.log(QStringLiteral("旧版插件未能移除：") + installed.leftovers.join(QStringLiteral("、")));
}

QString InstallFlow::completionMessage(const QString &installedBefore, const QString &installedAfter)
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
