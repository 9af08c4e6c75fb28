#include "TransportError.h"

#include "service/ServiceNetwork.h"

#include <QSslError>

#include <array>

TransportError::TransportError(QString domain, int code, QString description)
    : DescribedError(std::move(description))
    , m_domain(std::move(domain))
    , m_code(code)
{
}

int TransportError::codeFor(QNetworkReply::NetworkError error, const QString &detail)
{
    switch (error) {
    case QNetworkReply::ConnectionRefusedError:
    case QNetworkReply::ProxyConnectionRefusedError:
        return CannotConnectToHost;
    case QNetworkReply::RemoteHostClosedError:
    case QNetworkReply::ProxyConnectionClosedError:
        return NetworkConnectionLost;
    case QNetworkReply::HostNotFoundError:
    case QNetworkReply::ProxyNotFoundError:
        return CannotFindHost;
    case QNetworkReply::TimeoutError:
    case QNetworkReply::ProxyTimeoutError:
        return TimedOut;
    case QNetworkReply::OperationCanceledError:
        return Cancelled;
    case QNetworkReply::SslHandshakeFailedError:
        return SecureConnectionFailed;
    case QNetworkReply::TemporaryNetworkFailureError:
    case QNetworkReply::NetworkSessionFailedError:
    case QNetworkReply::BackgroundRequestNotAllowedError:
        return NotConnectedToInternet;
    case QNetworkReply::TooManyRedirectsError:
        return HTTPTooManyRedirects;
    case QNetworkReply::InsecureRedirectError:
        return AppTransportSecurityRequiresSecureConnection;
    case QNetworkReply::ProxyAuthenticationRequiredError:
    case QNetworkReply::AuthenticationRequiredError:
        return UserAuthenticationRequired;
    case QNetworkReply::ProtocolUnknownError:
        return UnsupportedURL;
    case QNetworkReply::ProtocolInvalidOperationError:
    case QNetworkReply::ProtocolFailure:
    case QNetworkReply::UnknownServerError:
    case QNetworkReply::UnknownProxyError:
        return BadServerResponse;
    case QNetworkReply::UnknownNetworkError:
        // Qt folds "network unreachable" (no route at all) into its unknown network error.
        return detail.contains(QLatin1String("unreachable"), Qt::CaseInsensitive) ? NotConnectedToInternet
                                                                                  : Unknown;
    default:
        return Unknown;
    }
}

QString TransportError::describe(int code, const QString &host)
{
    const QString impostor = QStringLiteral("您可能正在连接到一个假冒“%1”的服务器，这会威胁到您的机密信息的安全。").arg(host);
    switch (code) {
    case Cancelled:
        return QStringLiteral("已取消。");
    case BadURL:
        return QStringLiteral("URL 无效。");
    case TimedOut:
        return QStringLiteral("请求超时。");
    case UnsupportedURL:
        return QStringLiteral("不支持的 URL。");
    case CannotFindHost:
        return QStringLiteral("未能找到使用指定主机名的服务器。");
    case CannotConnectToHost:
        return QStringLiteral("未能连接到服务器。");
    case NetworkConnectionLost:
        return QStringLiteral("网络连接已中断。");
    case DNSLookupFailed:
        return QStringLiteral("DNS 查询失败。");
    case HTTPTooManyRedirects:
        return QStringLiteral("重定向次数过多。");
    case NotConnectedToInternet:
        return QStringLiteral("似乎已断开与互联网的连接。");
    case BadServerResponse:
        return QStringLiteral("服务器返回了无效的响应。");
    case UserAuthenticationRequired:
        return QStringLiteral("需要用户认证才能访问此资源。");
    case AppTransportSecurityRequiresSecureConnection:
        return QStringLiteral("无法载入资源，因为应用传输安全策略要求使用安全连接。");
    case InternationalRoamingOff:
        return QStringLiteral("国际漫游当前已关闭。");
    case SecureConnectionFailed:
        return QStringLiteral("发生了 SSL 错误，无法建立与该服务器的安全连接。");
    case ServerCertificateHasBadDate:
        return QStringLiteral("此服务器的证书已过期。") + impostor;
    case ServerCertificateUntrusted:
        return QStringLiteral("此服务器的证书无效。") + impostor;
    case ServerCertificateHasUnknownRoot:
        return QStringLiteral("此服务器的证书由未知的颁发机构签发。") + impostor;
    case ServerCertificateNotYetValid:
        return QStringLiteral("此服务器的证书尚未生效。") + impostor;
    default:
        return QStringLiteral("发生了未知错误。");
    }
}

namespace {

// Certificate problems name the reason more precisely than Qt's handshake failure does.
int certificateCode(const QList<QSslError::SslError> &errors)
{
    for (const QSslError::SslError error : errors) {
        switch (error) {
        case QSslError::CertificateExpired:
            return TransportError::ServerCertificateHasBadDate;
        case QSslError::CertificateNotYetValid:
            return TransportError::ServerCertificateNotYetValid;
        case QSslError::UnableToGetIssuerCertificate:
        case QSslError::UnableToGetLocalIssuerCertificate:
            return TransportError::ServerCertificateHasUnknownRoot;
        case QSslError::NoError:
            break;
        default:
            return TransportError::ServerCertificateUntrusted;
        }
    }
    return TransportError::SecureConnectionFailed;
}

} // namespace

bool TransportError::isTransportFailure(const QNetworkReply &reply)
{
    const QNetworkReply::NetworkError error = reply.error();
    if (error == QNetworkReply::NoError)
        return false;
    const bool fromStatus = (error >= QNetworkReply::ContentAccessDenied && error <= QNetworkReply::UnknownContentError)
        || error == QNetworkReply::ProtocolInvalidOperationError
        || (error >= QNetworkReply::InternalServerError && error <= QNetworkReply::UnknownServerError);
    return !(fromStatus && reply.attribute(QNetworkRequest::HttpStatusCodeAttribute).isValid());
}

TransportError TransportError::fromReply(const QNetworkReply &reply)
{
    int code = codeFor(reply.error(), reply.errorString());
    if (ServiceNetwork::hasTimedOut(reply))
        code = TimedOut;
    else if (code == SecureConnectionFailed)
        code = certificateCode(ServiceNetwork::sslErrors(reply));
    return TransportError(urlErrorDomain, code, describe(code, reply.url().host()));
}

bool isNetworkError(const std::exception &error)
{
    const auto *transport = dynamic_cast<const TransportError *>(&error);
    if (!transport || transport->domain() != TransportError::urlErrorDomain)
        return false;
    static constexpr std::array<int, 7> connectivityCodes = {
        TransportError::CannotFindHost,          TransportError::CannotConnectToHost,
        TransportError::DNSLookupFailed,         TransportError::InternationalRoamingOff,
        TransportError::NetworkConnectionLost,   TransportError::NotConnectedToInternet,
        TransportError::TimedOut,
    };
    for (const int code : connectivityCodes) {
        if (transport->code() == code)
            return true;
    }
    return false;
}

bool isCancellation(const std::exception &error)
{
    const auto *transport = dynamic_cast<const TransportError *>(&error);
    return transport && transport->domain() == TransportError::urlErrorDomain
        && transport->code() == TransportError::Cancelled;
}
