#include "TransportFailure.h"

#include "core/UrlErrorCode.h"
#include "service/ServiceNetwork.h"

#include <QSslError>

namespace TransportFailure {

using namespace UrlErrorCode;

int codeFor(QNetworkReply::NetworkError error, const QString &detail)
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

namespace {

// Certificate problems name the reason more precisely than Qt's handshake failure does.
int certificateCode(const QList<QSslError::SslError> &errors)
{
    for (const QSslError::SslError error : errors) {
        switch (error) {
        case QSslError::CertificateExpired:
            return ServerCertificateHasBadDate;
        case QSslError::CertificateNotYetValid:
            return ServerCertificateNotYetValid;
        case QSslError::UnableToGetIssuerCertificate:
        case QSslError::UnableToGetLocalIssuerCertificate:
            return ServerCertificateHasUnknownRoot;
        case QSslError::NoError:
            break;
        default:
            return ServerCertificateUntrusted;
        }
    }
    return SecureConnectionFailed;
}

} // namespace

bool isTransportFailure(const QNetworkReply &reply)
{
    const QNetworkReply::NetworkError error = reply.error();
    if (error == QNetworkReply::NoError)
        return false;
    const bool fromStatus = (error >= QNetworkReply::ContentAccessDenied && error <= QNetworkReply::UnknownContentError)
        || error == QNetworkReply::ProtocolInvalidOperationError
        || (error >= QNetworkReply::InternalServerError && error <= QNetworkReply::UnknownServerError);
    return !(fromStatus && reply.attribute(QNetworkRequest::HttpStatusCodeAttribute).isValid());
}

FailureKind kindFor(int code)
{
    switch (code) {
    case NotConnectedToInternet:
        return FailureKind::Offline;
    case CannotFindHost:
    case CannotConnectToHost:
    case DNSLookupFailed:
    case InternationalRoamingOff:
    case NetworkConnectionLost:
        return FailureKind::ServiceUnreachable;
    case TimedOut:
        return FailureKind::Timeout;
    case Cancelled:
        return FailureKind::Cancelled;
    case SecureConnectionFailed:
    case ServerCertificateHasBadDate:
    case ServerCertificateUntrusted:
    case ServerCertificateHasUnknownRoot:
    case ServerCertificateNotYetValid:
        return FailureKind::SecureConnection;
    default:
        return FailureKind::Transport;
    }
}

Failure fromCode(int code, const QString &host)
{
    FailureDetails details;
    details.urlCode = code;
    details.host = host;
    return Failure(kindFor(code), std::move(details));
}

Failure fromReply(const QNetworkReply &reply)
{
    // The tool keeps no proxy password of its own; the sentence sends the user to the system's settings.
    if (reply.error() == QNetworkReply::ProxyAuthenticationRequiredError) {
        FailureDetails details;
        details.urlCode = UserAuthenticationRequired;
        details.host = reply.url().host();
        return Failure(FailureKind::ProxyAuthenticationRequired, std::move(details));
    }
    int code = codeFor(reply.error(), reply.errorString());
    if (ServiceNetwork::hasTimedOut(reply))
        code = TimedOut;
    else if (code == SecureConnectionFailed)
        code = certificateCode(ServiceNetwork::sslErrors(reply));
    return fromCode(code, reply.url().host());
}

} // namespace TransportFailure
