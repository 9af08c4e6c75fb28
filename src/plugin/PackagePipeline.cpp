#include "PackagePipeline.h"

#include "plugin/ArchiveDownload.h"
#include "plugin/MirrorSource.h"
#include "plugin/PackageArchive.h"
#include "plugin/PackageDirectory.h"
#include "plugin/PackageNames.h"
#include "plugin/PackagePruning.h"
#include "plugin/ReleaseGate.h"
#include "core/Failure.h"
#include "core/LocalFiles.h"
#include "core/ToolPaths.h"
#include "core/UrlErrorCode.h"
#include "service/TransportFailure.h"

#include <QScopeGuard>

namespace {

const QString downloadPlatform = QStringLiteral("macos");

void removeQuietly(const QString &path)
{
    try {
        LocalFiles::removeEntry(path);
    } catch (const Failure &) {
        // Pruned after the next successful download.
    }
}

} // namespace

PackagePipeline::PackagePipeline(ClientAuthAPI api, AccountCredentialStore credentialStore,
                                 QPointer<QObject> owner, Handlers handlers, ReleaseSignatureVerifier verifier)
    : m_api(std::move(api))
    , m_credentialStore(std::move(credentialStore))
    , m_owner(std::move(owner))
    , m_handlers(std::move(handlers))
    , m_verifier(std::move(verifier))
{
}

// Every step runs on a copy of the pipeline held by the coroutine frame, so the caller may go away;
// the owner pointer tells whether anybody still wants the result.
QCoro::Task<CachedPluginPackage> PackagePipeline::downloadAuthorizedPluginPackage() const
{
    const PackagePipeline self = *this;
    const QString installed = PackageDirectory::installedPluginVersionFromDisk();
    const std::optional<QString> installedVersion = installed.isNull() ? std::nullopt : std::optional(installed);
    // A mirror's releases come verified against the keys built in, whatever the build.
    const std::optional<QUrl> mirror = self.m_source.mirror;
    PluginRelease release;
    if (mirror) {
        const MirrorSource source(*mirror);
        release = co_await source.release(self.m_source.pinnedVersion);
    } else {
        release = co_await self.releaseFromService(installedVersion);
    }
    self.requireOwner();
    if (!release.downloadURL)
        throw Failure(FailureKind::NoDownloadAddress);
    // Names from the service are checked before anything is created or logged under them.
    const QString fileName = PackageNames::archiveFileName(release.fileName.value_or(QString()), release.version);
    PackageNames::packageDirectoryName(release.version);
    // Only a mirror on a file share may name a local file.
    const bool localArchive = mirror && release.downloadURL->isLocalFile();
    if (!localArchive)
        ArchiveDownload::requireFetchable(*release.downloadURL, release.sha256);
    // The signature is over the metadata and the digest the download is then held to, so checking
    // it first refuses a forged release before a byte is fetched, and a good archive already here stays.
    if (!mirror)
        self.m_verifier.verify(release);
    ReleaseGate::requireInstallable(release.version, installed, self.m_source.pinnedVersion);

    self.log(QStringLiteral("开始下载插件包：") + release.version);
    QString archive;
    if (localArchive)
        archive = co_await MirrorSource::copyLocalArchive(release.downloadURL->toLocalFile(),
                                                          ToolPaths::pluginPackageDownloadDir(), fileName, release.sha256);
    else
        archive = co_await self.downloadPluginArchive(*release.downloadURL, fileName, release.sha256);
    self.requireOwner();
    const CachedPluginPackage package = co_await self.extractPluginPackage(archive, release);
    self.requireOwner();
    for (const QString &line : PackagePruning::prunePluginPackageCache(package.directory))
        self.log(line);
    for (const QString &line : PackagePruning::pruneDownloadedPluginArchives(archive))
        self.log(line);
    self.log(QStringLiteral("插件包已缓存：") + package.version);
    co_return package;
}

QCoro::Task<PluginRelease> PackagePipeline::releaseFromService(std::optional<QString> installedVersion) const
{
    const PackagePipeline self = *this;
    const QString credential = co_await self.m_credentialStore.requireCredential();
    self.requireOwner();
    // Only a failure of this query matters: the release to fetch comes with the download token.
    [[maybe_unused]] const PluginRelease current = co_await self.m_api.latestRelease(downloadPlatform);
    self.requireOwner();
    co_return co_await self.requestDownloadToken(credential, installedVersion);
}

// A refused credential is forgotten, so the next attempt asks the user to sign in rather than
// sending it again; the refusal itself says to sign in again.
QCoro::Task<PluginRelease> PackagePipeline::requestDownloadToken(QString credential,
                                                                 std::optional<QString> installedVersion) const
{
    const PackagePipeline self = *this;
    std::exception_ptr refusal;
    try {
        co_return co_await self.m_api.downloadToken(credential, downloadPlatform, installedVersion);
    } catch (const Failure &error) {
        if (error.kind() != FailureKind::SignInExpired && error.kind() != FailureKind::CredentialRefused)
            throw;
        refusal = std::current_exception();
    }
    try {
        co_await self.m_credentialStore.clearCredential();
        self.log(QStringLiteral("账户凭据已被服务拒绝，已从本机清除"));
    } catch (const std::exception &) {
        // Left in place it is refused again next time, with the same advice to sign in again.
    }
    std::rethrow_exception(refusal);
}

QCoro::Task<QString> PackagePipeline::downloadPluginArchive(QUrl url, QString fileName, QString sha256) const
{
    const PackagePipeline self = *this;
    ArchiveDownload::Request request{url, ToolPaths::pluginPackageDownloadDir(), fileName, sha256};
    const std::function<void(qint64, qint64)> progress =
        self.m_handlers.progress ? self.m_handlers.progress : [](qint64, qint64) {};
    progress(0, -1);
    const auto resetProgress = qScopeGuard([progress] { progress(0, 0); });
    // The owner ends the transfer when it goes away.
    const QString archive = co_await ArchiveDownload::download(std::move(request), progress, self.m_owner);
    co_return archive;
}

QCoro::Task<CachedPluginPackage> PackagePipeline::extractPluginPackage(QString archive, PluginRelease release) const
{
    const PackagePipeline self = *this;
    const QString packageName = PackageNames::packageDirectoryName(release.version);
    const std::function<void(const QString &)> logWarning = [self](const QString &output) {
        self.log(output);
    };
    QString directory;
    try {
        directory = co_await PackageArchive::extractPluginPackageAsync(archive, ToolPaths::pluginPackageCacheDir(),
                                                                       packageName, logWarning);
    } catch (const Failure &error) {
        // An archive the unpacking refuses would only wait in the downloads for the next success.
        if (PackageArchive::condemnsArchive(error.kind()))
            removeQuietly(archive);
        throw;
    }
    co_return CachedPluginPackage{directory, release.version, release.minManagerVersion.value_or(QString())};
}

void PackagePipeline::requireOwner() const
{
    if (!m_owner)
        throw TransportFailure::fromCode(UrlErrorCode::Cancelled);
}

void PackagePipeline::log(const QString &line) const
{
    if (m_owner && m_handlers.log)
        m_handlers.log(line);
}
