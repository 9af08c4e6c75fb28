#pragma once

#include "plugin/AccountCredentialStore.h"
#include "plugin/CachedPluginPackage.h"
#include "plugin/ReleaseSignatureVerifier.h"
#include "service/ClientAuthAPI.h"

#include <QCoro/QCoroTask>
#include <QObject>
#include <QPointer>
#include <QString>

#include <functional>
#include <optional>

// The road from the account credential to an unpacked, verified package in the cache: release
// query, download token, streamed verified download, unpacking, pruning of older archives and
// packages. Knows no model: it reports through its handlers and stops, as a cancelled transfer,
// when its owner goes away.
class PackagePipeline
{
public:
    struct Handlers
    {
        // One activity-log line.
        std::function<void(const QString &)> log;
        // (bytes received, bytes expected or -1 while unknown); (0, 0) once the download is over.
        std::function<void(qint64, qint64)> progress;
    };

    // Where the release comes from and how far it may go, as the managed policy says.
    struct Source
    {
        // A mirror's root (http, https or file); absent: the vendor's service, with the account's
        // credential.
        std::optional<QUrl> mirror;
        // No install goes past this version; null: none pinned.
        QString pinnedVersion;
    };

    // The verifier holds the build's release keys unless a test gives others.
    PackagePipeline(ClientAuthAPI api, AccountCredentialStore credentialStore, QPointer<QObject> owner,
                    Handlers handlers, ReleaseSignatureVerifier verifier = ReleaseSignatureVerifier());

    void setSource(Source source) { m_source = std::move(source); }

    // Throws the error the user is shown; the caller adds its failure prefix.
    QCoro::Task<CachedPluginPackage> downloadAuthorizedPluginPackage() const;

private:
    QCoro::Task<PluginRelease> releaseFromService(std::optional<QString> installedVersion) const;
    QCoro::Task<PluginRelease> requestDownloadToken(QString credential, std::optional<QString> installedVersion) const;
    QCoro::Task<QString> downloadPluginArchive(QUrl url, QString fileName, QString sha256) const;
    QCoro::Task<CachedPluginPackage> extractPluginPackage(QString archive, PluginRelease release) const;
    void requireOwner() const;
    void log(const QString &line) const;

    ClientAuthAPI m_api;
    AccountCredentialStore m_credentialStore;
    QPointer<QObject> m_owner;
    Handlers m_handlers;
    ReleaseSignatureVerifier m_verifier;
    Source m_source;
};
