#include "MirrorWriter.h"

#include "core/AtomicFile.h"
#include "core/Failure.h"
#include "core/LocalFiles.h"
#include "plugin/MirrorSource.h"
#include "plugin/PackageNames.h"
#include "plugin/ReleaseGate.h"

#include <QDir>
#include <QFile>
#include <QJsonDocument>

#include <algorithm>

namespace {

const QString downloadPlatform = QStringLiteral("macos");

struct StoredRelease
{
    QString version;
    QByteArray descriptor;
};

// Every release folder of the mirror whose descriptor names its version, newest first.
QList<StoredRelease> storedReleases(const QString &folder)
{
    const QDir releases(folder + u'/' + MirrorSource::releasesFolder);
    QList<StoredRelease> stored;
    for (const QString &name : releases.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        QFile file(releases.filePath(name) + u'/' + MirrorSource::descriptorFile);
        const QByteArray bytes = file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
        if (QJsonDocument::fromJson(bytes).object().value(QLatin1String("version")).toString() == name)
            stored.append({name, bytes});
    }
    std::sort(stored.begin(), stored.end(),
              [](const StoredRelease &a, const StoredRelease &b) { return ReleaseGate::isNewer(a.version, b.version); });
    return stored;
}

} // namespace

MirrorWriter::MirrorWriter(ClientAuthAPI api, AccountCredentialStore credentialStore,
                           ArchiveDownload::ProgressHandler progress, ReleaseSignatureVerifier verifier)
    : m_api(std::move(api))
    , m_credentialStore(std::move(credentialStore))
    , m_progress(std::move(progress))
    , m_verifier(std::move(verifier))
{
}

QCoro::Task<QStringList> MirrorWriter::update(QString folder, QString version) const
{
    const MirrorWriter self = *this;
    const QString credential = co_await self.m_credentialStore.requireCredential();
    const std::optional<QString> wanted = version.isEmpty() ? std::nullopt : std::optional(version);
    const PluginRelease release = co_await self.m_api.downloadToken(credential, downloadPlatform, std::nullopt, wanted);
    if (wanted && release.version != *wanted) {
        FailureDetails details;
        details.serviceMessage = QStringLiteral("服务没有提供版本 ") + *wanted;
        throw Failure(FailureKind::ReleaseUnavailable, std::move(details));
    }
    self.m_verifier.verifyMirrored(release);
    if (!release.downloadURL)
        throw Failure(FailureKind::NoDownloadAddress);
    const QString fileName = PackageNames::archiveFileName(release.fileName.value_or(QString()), release.version);
    PackageNames::packageDirectoryName(release.version);
    const QString releaseDir = folder + u'/' + MirrorSource::releasePath(release.version);

    ArchiveDownload::Request request{*release.downloadURL, releaseDir, fileName, release.sha256};
    co_await ArchiveDownload::download(std::move(request), self.m_progress);
    AtomicFile::write(releaseDir + MirrorSource::descriptorFile,
                      QJsonDocument(MirrorSource::descriptorOf(release)).toJson(QJsonDocument::Indented));
    QStringList lines{QStringLiteral("已加入镜像：") + release.version};
    co_return lines + refreshLatest(folder);
}

// The newest release becomes the latest, whichever order releases were added in; the oldest go.
QStringList MirrorWriter::refreshLatest(const QString &folder)
{
    const QList<StoredRelease> stored = storedReleases(folder);
    QStringList lines;
    if (stored.isEmpty())
        return lines;
    AtomicFile::write(folder + u'/' + MirrorSource::latestFile, stored.first().descriptor);
    lines.append(QStringLiteral("镜像的最新版本：") + stored.first().version);
    for (qsizetype i = 1 + MirrorSource::keptOldReleases; i < stored.size(); ++i) {
        LocalFiles::removeEntry(folder + u'/' + MirrorSource::releasePath(stored.at(i).version));
        lines.append(QStringLiteral("已从镜像移除旧版本：") + stored.at(i).version);
    }
    return lines;
}
