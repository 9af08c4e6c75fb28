#pragma once

#include "BuildConfig.h"
#include "service/APIEnvelope.h"
#include "service/PluginRelease.h"

#include <QCoro/QCoroTask>
#include <QJsonObject>
#include <QNetworkRequest>
#include <QString>
#include <QUrl>

#include <optional>

// The vendor service's base URL: scheme and host, fixed when the tool is built.
inline const QString officialClientAuthBaseURL = QString::fromUtf8(BuildConfig::serviceBaseUrl);

// The tool's only client of the vendor service. Requests go through ServiceNetwork's shared
// manager; everything it throws is a Failure: a transport failure (TransportFailure), a refusing
// HTTP status (ServiceAnswer::refusal), a success body that is not JSON (NotJson), one larger than
// maxAnswerBytes (MalformedAnswer), an answer without data (ReleaseUnavailable, DownloadNotGranted).
class ClientAuthAPI
{
public:
    // The official service, fixed when the tool is built.
    ClientAuthAPI();
    // Another service (tests, the stand-in); scheme and host, no trailing "/".
    explicit ClientAuthAPI(QUrl baseURL);

    const QUrl &baseURL() const { return m_baseURL; }

    // path begins with "/" and carries its query already encoded.
    QCoro::Task<APIEnvelope> get(const QString &path) const;
    // A path without a leading "/" is appended as one path component.
    QCoro::Task<APIEnvelope> post(const QString &path, const QJsonObject &body,
                                  const std::optional<QString> &bearerToken = std::nullopt) const;
    static QCoro::Task<APIEnvelope> send(QNetworkRequest request, QByteArray method, QByteArray body);

    // The current release; platform is "darwin" for the update check, "macos" for the download.
    QCoro::Task<PluginRelease> latestRelease(const QString &platform) const;
    // The release to download, with its download address; credential is the account credential.
    // requestedVersion asks for that release rather than the latest (making a mirror).
    QCoro::Task<PluginRelease> downloadToken(const QString &credential, const QString &platform,
                                             const std::optional<QString> &installedVersion,
                                             const std::optional<QString> &requestedVersion = std::nullopt) const;
    // A page of the vendor's site, or an absolute address unchanged.
    QUrl webURL(const QString &path) const;

    // The largest answer body read; the release and token envelopes are a few hundred bytes.
    static constexpr qint64 maxAnswerBytes = 4 * 1024 * 1024;

    static QString urlEncode(const QString &text);
    // The tool's version (CFBundleShortVersionString of its bundle, set from the build); "0.1.3"
    // when the application object was given none (test programs).
    static QString appVersion();

    static inline const QString latestReleasePath =
        QStringLiteral("/api/client/software/vev-urir-odaderid/releases/latest");
    static inline const QString downloadTokenPath =
        QStringLiteral("/api/client/software/vev-urir-odaderid/download-token");

private:
    static constexpr qint64 answerReadChunk = 64 * 1024;

    QUrl m_baseURL;
};
