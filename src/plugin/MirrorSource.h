#pragma once

#include "plugin/ReleaseSignatureVerifier.h"
#include "service/PluginRelease.h"

#include <QCoro/QCoroTask>
#include <QJsonObject>
#include <QString>
#include <QUrl>

// A mirror made by the command line's `mirror`, served by any static web server or file share:
//   latest.json                          the descriptor of the newest release
//   releases/<version>/release.json      each release's descriptor, as the vendor signed it
//   releases/<version>/<file name>       its archive
// Descriptors are the vendor's (version, fileName, sha256, minManagerVersion, signature) without a
// download address: the archive is the file beside its descriptor. Nothing from a mirror is taken
// on trust: every descriptor must carry a signature a key built into the tool verifies.
class MirrorSource
{
public:
    static inline const QString latestFile = QStringLiteral("latest.json");
    static inline const QString releasesFolder = QStringLiteral("releases");
    static inline const QString descriptorFile = QStringLiteral("release.json");
    // Releases kept besides the newest when the mirror is brought up to date.
    static constexpr int keptOldReleases = 3;

    // root: the mirror's folder address (http, https or file), ending in "/".
    explicit MirrorSource(QUrl root,
                          ReleaseSignatureVerifier verifier = ReleaseSignatureVerifier(ReleaseSignatureVerifier::mirrorPublicKeys()));

    // The release to install: the newest, or the pinned version's when the newest is past it
    // (null pinned: none). Verified, its downloadURL the archive beside its descriptor. Throws.
    QCoro::Task<PluginRelease> release(QString pinnedVersion) const;

    // The descriptor a mirror stores for a release: its signed fields and the signature.
    static QJsonObject descriptorOf(const PluginRelease &release);
    // Path of a release's folder below the mirror's root, "releases/<version>/".
    static QString releasePath(const QString &version);

    // Copies a file: archive into downloadDir as fileName when its bytes match sha256, hashing on the
    // pool; the archive's path. Throws ChecksumMismatch, UnreadableFile, DownloadWriteFailed.
    static QCoro::Task<QString> copyLocalArchive(QString source, QString downloadDir, QString fileName, QString sha256);

private:
    QCoro::Task<PluginRelease> releaseAt(QString path) const;
    QCoro::Task<QByteArray> fetch(QString path) const;

    QUrl m_root;
    ReleaseSignatureVerifier m_verifier;
};
