#include "ClientAuthAPI.h"

#include "service/AuthToolError.h"
#include "service/JsonValueReaders.h"
#include "service/ServiceNetwork.h"
#include "service/TransportError.h"

#include <QCoreApplication>
#include <QCoro/QCoroNetworkReply>
#include <QJsonDocument>
#include <QNetworkReply>

using namespace JsonValueReaders;

namespace {

AuthToolError refusal(int status, const QByteArray &bytes)
{
    QJsonObject body;
    try {
        body = dictionaryFromJSON(bytes);
    } catch (const std::exception &) {
        // A refusal without a usable body is described by its status alone.
    }
    std::optional<QString> reason;
    if (const auto data = dictionaryValue(body.value(QLatin1String("data"))))
        reason = stringValue(data->value(QLatin1String("reason")));
    if (!reason)
        reason = stringValue(body.value(QLatin1String("reason")));
    const std::optional<QString> serverMessage = stringValue(body.value(QLatin1String("message")));
    const bool hasServerMessage = serverMessage && !serverMessage->isEmpty();

    const QString refreshTokenInvalid = QStringLiteral("refresh_token_invalid");
    if (status == 401 || reason == refreshTokenInvalid) {
        if (reason == refreshTokenInvalid)
            return AuthToolError::credentialInvalid(QStringLiteral("刷新凭证无效或过期，请重新登录。"));
        if (hasServerMessage)
            return AuthToolError::credentialInvalid(*serverMessage);
        return AuthToolError::credentialInvalid(QStringLiteral("本机保存的登录凭证已失效，请重新登录。"));
    }
    if (reason)
        return AuthToolError::message(QStringLiteral("授权失败：") + *reason);
    if (hasServerMessage)
        return AuthToolError::message(*serverMessage);
    return AuthToolError::message(ClientAuthAPI::httpErrorMessage(status));
}

APIEnvelope envelopeFrom(const QJsonObject &body)
{
    return APIEnvelope{
        intValue(body.value(QLatin1String("code"))),
        stringValue(body.value(QLatin1String("message"))),
        dictionaryValue(body.value(QLatin1String("data"))),
    };
}

QCoro::Task<PluginRelease> releaseFrom(QCoro::Task<APIEnvelope> request, QString unavailableMessage)
{
    const APIEnvelope envelope = co_await std::move(request);
    if (!envelope.data)
        throw AuthToolError::message(envelope.message.value_or(unavailableMessage));
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
    co_await reply.get();

    const QVariant status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    if (TransportError::isTransportFailure(*reply))
        throw TransportError::fromReply(*reply);
    const QByteArray bytes = reply->readAll();
    if (status.isValid() && (status.toInt() < 200 || status.toInt() >= 300))
        throw refusal(status.toInt(), bytes);
    co_return envelopeFrom(dictionaryFromJSON(bytes));
}

QCoro::Task<PluginRelease> ClientAuthAPI::latestRelease(const QString &platform) const
{
    const QString path = latestReleasePath + QStringLiteral("?platform=") + urlEncode(platform)
        + QStringLiteral("&channel=stable");
    return releaseFrom(get(path), QStringLiteral("插件版本信息不可用。"));
}

QCoro::Task<PluginRelease> ClientAuthAPI::downloadToken(const QString &credential, const QString &platform,
                                                        const std::optional<QString> &installedVersion) const
{
    QJsonObject body{
        {QStringLiteral("platform"), platform},
        {QStringLiteral("channel"), QStringLiteral("stable")},
        {QStringLiteral("managerVersion"), appVersion()},
    };
    if (installedVersion && !installedVersion->isEmpty())
        body.insert(QStringLiteral("installedPluginVersion"), *installedVersion);
    return releaseFrom(post(downloadTokenPath, body, credential), QStringLiteral("插件下载授权不可用。"));
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

QString ClientAuthAPI::httpErrorMessage(int status)
{
    if (status == 401 || status == 403)
        return QStringLiteral("登录状态已过期，请重新登录后再试。");
    if (status == 404)
        return QStringLiteral("未找到授权服务，请确认当前管理工具版本或授权接口环境。");
    if (status >= 500 && status <= 599)
        return QStringLiteral("授权服务暂时不可用，请稍后重试；如果问题持续出现，请重新登录后再试。");
    return QStringLiteral("授权服务返回异常：HTTP ") + QString::number(status);
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
