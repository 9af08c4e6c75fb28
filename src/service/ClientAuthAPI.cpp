#include "ClientAuthAPI.h"

#include "service/JsonValueReaders.h"
#include "service/ServiceAnswer.h"
#include "service/ServiceNetwork.h"
#include "service/TransportFailure.h"

#include <QCoreApplication>
#include <QCoro/QCoroNetworkReply>
#include <QJsonDocument>
#include <QNetworkReply>

namespace {

// unavailable: the kind of an answer without data, which carries the service's message.
QCoro::Task<PluginRelease> releaseFrom(QCoro::Task<APIEnvelope> request, FailureKind unavailable)
{
    const APIEnvelope envelope = co_await std::move(request);
    if (!envelope.data) {
        FailureDetails details;
        details.serviceMessage = envelope.message;
        throw Failure(unavailable, std::move(details));
    }
    co_return PluginRelease::fromData(*envelope.data);
}

// Base URL text with the path appended as it is.
QUrl joined(const QUrl &base, const QString &path)
{
    return QUrl(base.toString(QUrl::FullyEncoded) + path, QUrl::TolerantMode);
}

} // namespace

ClientAuthAPI::ClientAuthAPI()
    : ClientAuthAPI(QUrl(officialClientAuthBaseURL, QUrl::StrictMode))
{
}

ClientAuthAPI::ClientAuthAPI(QUrl baseURL)
    : m_baseURL(std::move(baseURL))
{
    if (!m_baseURL.isValid() || m_baseURL.scheme().isEmpty())
        qFatal("The service base URL does not parse: %s", qPrintable(m_baseURL.toString()));
}

QCoro::Task<APIEnvelope> ClientAuthAPI::get(const QString &path) const
{
    return send(QNetworkRequest(joined(m_baseURL, path)), QByteArrayLiteral("GET"), {});
}

QCoro::Task<APIEnvelope> ClientAuthAPI::post(const QString &path, const QJsonObject &body,
                                             const std::optional<QString> &bearerToken) const
{
    QUrl url;
    if (path.startsWith(QLatin1Char('/'))) {
        url = joined(m_baseURL, path);
    } else {
        QString base = m_baseURL.toString(QUrl::FullyEncoded);
        if (!base.endsWith(QLatin1Char('/')))
            base += QLatin1Char('/');
        const QByteArray component = QUrl::toPercentEncoding(path, QByteArrayLiteral("!$&'()*+,;=:@/"));
        url = QUrl(base + QString::fromLatin1(component), QUrl::StrictMode);
    }
    QNetworkRequest request(url);
    request.setHeader(QNetworkRequest::ContentTypeHeader, QByteArrayLiteral("application/json"));
    if (bearerToken)
        request.setRawHeader(QByteArrayLiteral("Authorization"), "Bearer " + bearerToken->toUtf8());
    return send(std::move(request), QByteArrayLiteral("POST"), QJsonDocument(body).toJson(QJsonDocument::Compact));
}

QCoro::Task<APIEnvelope> ClientAuthAPI::send(QNetworkRequest request, QByteArray method, QByteArray body)
{
    QNetworkAccessManager &manager = ServiceNetwork::manager();
    const ServiceNetwork::OwnedReply reply(
        method == "GET" ? manager.get(request) : manager.sendCustomRequest(request, method, body));
    QNetworkReply *const rawReply = reply.get();
    // The body is collected here, never by the reply, so an endless answer costs no more than the cap.
    rawReply->setReadBufferSize(answerReadChunk);
    QByteArray bytes;
    bool oversized = false;
    // Runs inside the reply's signals: an oversized answer only schedules the abort.
    const auto collect = [&] {
        if (oversized)
            return;
        const QVariant announced = rawReply->header(QNetworkRequest::ContentLengthHeader);
        oversized = announced.isValid() && announced.toLongLong() > maxAnswerBytes;
        while (!oversized && rawReply->bytesAvailable() > 0) {
            bytes += rawReply->read(maxAnswerBytes + 1 - bytes.size());
            oversized = bytes.size() > maxAnswerBytes;
        }
        if (oversized) {
            bytes = QByteArray();
            QMetaObject::invokeMethod(rawReply, &QNetworkReply::abort, Qt::QueuedConnection);
        }
    };
    QObject::connect(rawReply, &QNetworkReply::metaDataChanged, rawReply, collect);
    QObject::connect(rawReply, &QNetworkReply::readyRead, rawReply, collect);
    co_await rawReply;

    const QVariant status = rawReply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    const bool refused = status.isValid() && (status.toInt() < 200 || status.toInt() >= 300);
    if (!oversized && TransportFailure::isTransportFailure(*rawReply))
        throw TransportFailure::fromReply(*rawReply);
    collect();
    // An oversized answer's bytes were dropped: a refusal is then judged by its status alone.
    if (refused)
        throw ServiceAnswer::refusal(status.toInt(), bytes);
    if (oversized)
        throw Failure(FailureKind::MalformedAnswer);
    co_return ServiceAnswer::envelope(bytes);
}

QCoro::Task<PluginRelease> ClientAuthAPI::latestRelease(const QString &platform) const
{
    const QString path = latestReleasePath + QStringLiteral("?platform=") + urlEncode(platform)
        + QStringLiteral("&channel=stable");
    return releaseFrom(get(path), FailureKind::ReleaseUnavailable);
}

QCoro::Task<PluginRelease> ClientAuthAPI::downloadToken(const QString &credential, const QString &platform,
                                                        const std::optional<QString> &installedVersion,
                                                        const std::optional<QString> &requestedVersion) const
{
    QJsonObject body{
        {QStringLiteral("platform"), platform},
        {QStringLiteral("channel"), QStringLiteral("stable")},
        {QStringLiteral("managerVersion"), appVersion()},
    };
    if (installedVersion && !installedVersion->isEmpty())
        body.insert(QStringLiteral("installedPluginVersion"), *installedVersion);
    if (requestedVersion)
        body.insert(QStringLiteral("version"), *requestedVersion);
    return releaseFrom(post(downloadTokenPath, body, credential), FailureKind::DownloadNotGranted);
}

QUrl ClientAuthAPI::webURL(const QString &path) const
{
    const QUrl absolute(path, QUrl::StrictMode);
    if (absolute.isValid() && !absolute.scheme().isEmpty())
        return absolute;
    QString base = m_baseURL.toString(QUrl::FullyEncoded);
    while (base.startsWith(QLatin1Char('/')))
        base.remove(0, 1);
    while (base.endsWith(QLatin1Char('/')))
        base.chop(1);
    const QString pathText = path.startsWith(QLatin1Char('/')) ? path : QLatin1Char('/') + path;
    return QUrl(base + pathText, QUrl::TolerantMode);
}

QString ClientAuthAPI::urlEncode(const QString &text)
{
    // Unreserved characters are never encoded; these are the rest of the query character set.
    return QString::fromLatin1(QUrl::toPercentEncoding(text, QByteArrayLiteral("!$&'()*+,;=:@/?")));
}

QString ClientAuthAPI::appVersion()
{
    // The entry sets it from the build, which also writes it into the bundle's Info.plist.
    const QString version = QCoreApplication::applicationVersion();
    return version.isEmpty() ? QStringLiteral("0.1.3") : version;
}
