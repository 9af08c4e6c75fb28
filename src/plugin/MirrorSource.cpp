#include "MirrorSource.h"

#include "core/Failure.h"
#include "core/LocalFiles.h"
#include "core/WorkerTask.h"
#include "plugin/PackageNames.h"
#include "plugin/ReleaseGate.h"
#include "plugin/Sha256Hasher.h"
#include "service/ServiceNetwork.h"
#include "service/TransportFailure.h"

#include <QCoro/QCoroNetworkReply>
#include <QFile>
#include <QJsonDocument>
#include <QNetworkReply>

namespace {

// A descriptor is a few hundred bytes.
constexpr qint64 maxDescriptorBytes = 1024 * 1024;
constexpr qint64 copyChunk = 1024 * 1024;

[[noreturn]] void missing(const QString &where)
{
    FailureDetails details;
    details.path = where;
    throw Failure(FailureKind::MirrorIncomplete, std::move(details));
}

QString copyAndHash(const QString &source, const QString &target, const QString &sha256)
{
    QFile in(source);
    if (!in.open(QIODevice::ReadOnly)) {
        FailureDetails details;
        details.path = source;
        throw Failure(FailureKind::UnreadableFile, std::move(details));
    }
    const QString staged = LocalFiles::hiddenSibling(target, QStringLiteral("copy"));
    QFile out(staged);
    if (!out.open(QIODevice::WriteOnly)) {
        FailureDetails details;
        details.path = target;
        throw Failure(FailureKind::DownloadWriteFailed, std::move(details));
    }
    Sha256Hasher hasher;
    bool written = true;
    while (written && !in.atEnd()) {
        const QByteArray chunk = in.read(copyChunk);
        hasher.addData(chunk);
        written = !chunk.isEmpty() && out.write(chunk) == chunk.size();
    }
    out.close();
    const bool matches = hasher.hexDigest().compare(sha256, Qt::CaseInsensitive) == 0;
    if (!written || !matches || LocalFiles::moveIntoPlace(staged, target) != 0) {
        QFile::remove(staged);
        FailureDetails details;
        details.path = target;
        throw Failure(written && !matches ? FailureKind::ChecksumMismatch : FailureKind::DownloadWriteFailed,
                      std::move(details));
    }
    return target;
}

} // namespace

MirrorSource::MirrorSource(QUrl root, ReleaseSignatureVerifier verifier)
    : m_root(std::move(root))
    , m_verifier(std::move(verifier))
{
}

QCoro::Task<PluginRelease> MirrorSource::release(QString pinnedVersion) const
{
    const MirrorSource self = *this;
    const PluginRelease latest = co_await self.releaseAt(latestFile);
    if (pinnedVersion.isEmpty() || !ReleaseGate::isNewer(latest.version, pinnedVersion))
        co_return latest;
    PackageNames::packageDirectoryName(pinnedVersion);
    co_return co_await self.releaseAt(releasePath(pinnedVersion) + descriptorFile);
}

QString MirrorSource::releasePath(const QString &version)
{
    return releasesFolder + u'/' + version + u'/';
}

QJsonObject MirrorSource::descriptorOf(const PluginRelease &release)
{
    QJsonObject descriptor{{QStringLiteral("version"), release.version}, {QStringLiteral("sha256"), release.sha256}};
    if (release.fileName)
        descriptor.insert(QStringLiteral("fileName"), *release.fileName);
    if (release.minManagerVersion)
        descriptor.insert(QStringLiteral("minManagerVersion"), *release.minManagerVersion);
    if (release.signature)
        descriptor.insert(QStringLiteral("signature"), *release.signature);
    return descriptor;
}

// Verified before any name in it is used: the archive's address is made from the signed fields.
QCoro::Task<PluginRelease> MirrorSource::releaseAt(QString path) const
{
    const MirrorSource self = *this;
    const QByteArray bytes = co_await self.fetch(path);
    const QJsonDocument document = QJsonDocument::fromJson(bytes);
    if (!document.isObject())
        throw Failure(FailureKind::NotJson);
    PluginRelease release = PluginRelease::fromData(document.object());
    release.downloadURL.reset();
    self.m_verifier.verifyMirrored(release);
    const QString fileName = PackageNames::archiveFileName(release.fileName.value_or(QString()), release.version);
    PackageNames::packageDirectoryName(release.version);
    release.downloadURL = self.m_root.resolved(QUrl(releasePath(release.version) + fileName));
    co_return release;
}

QCoro::Task<QByteArray> MirrorSource::fetch(QString path) const
{
    const QUrl url = m_root.resolved(QUrl(path));
    if (url.isLocalFile()) {
        QFile file(url.toLocalFile());
        if (!file.open(QIODevice::ReadOnly))
            missing(url.toLocalFile());
        co_return file.read(maxDescriptorBytes);
    }
    const ServiceNetwork::OwnedReply reply(ServiceNetwork::manager().get(QNetworkRequest(url)));
    QNetworkReply *const rawReply = reply.get();
    QObject::connect(rawReply, &QNetworkReply::downloadProgress, rawReply, [rawReply](qint64 received, qint64) {
        if (received > maxDescriptorBytes)
            QMetaObject::invokeMethod(rawReply, &QNetworkReply::abort, Qt::QueuedConnection);
    });
    co_await rawReply;
    const int status = rawReply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    if (status == 404 || status == 410)
        missing(url.toString());
    if (status >= 300) {
        FailureDetails details;
        details.httpStatus = status;
        throw Failure(FailureKind::DownloadRefused, std::move(details));
    }
    if (TransportFailure::isTransportFailure(*rawReply))
        throw TransportFailure::fromReply(*rawReply);
    co_return rawReply->readAll().left(maxDescriptorBytes);
}

QCoro::Task<QString> MirrorSource::copyLocalArchive(QString source, QString downloadDir, QString fileName, QString sha256)
{
    if (const int error = LocalFiles::createDirectories(downloadDir))
        throw LocalFiles::failure(QStringLiteral("创建下载目录"), downloadDir, error);
    const QString target = downloadDir + u'/' + fileName;
    auto work = [source, target, sha256] { return copyAndHash(source, target, sha256); };
    co_return co_await runOffGuiThread(std::move(work));
}
