#pragma once

#include "core/DescribedError.h"

#include <QNetworkReply>
#include <QString>

#include <exception>

// A request that failed below HTTP (name lookup, connection, TLS, timeout, cancel). It keeps the
// URL-loading error domain and codes, so callers can tell connectivity failures from the rest.
class TransportError : public DescribedError
{
public:
    static inline const QString urlErrorDomain = QStringLiteral("NSURLErrorDomain");

    // URL-loading codes this client produces.
    enum Code : int {
        Unknown = -1,
        Cancelled = -999,
        BadURL = -1000,
        TimedOut = -1001,
        UnsupportedURL = -1002,
        CannotFindHost = -1003,
        CannotConnectToHost = -1004,
        NetworkConnectionLost = -1005,
        DNSLookupFailed = -1006,
        HTTPTooManyRedirects = -1007,
        NotConnectedToInternet = -1009,
        BadServerResponse = -1011,
        UserAuthenticationRequired = -1013,
        AppTransportSecurityRequiresSecureConnection = -1022,
        InternationalRoamingOff = -1018,
        SecureConnectionFailed = -1200,
        ServerCertificateHasBadDate = -1201,
        ServerCertificateUntrusted = -1202,
        ServerCertificateHasUnknownRoot = -1203,
        ServerCertificateNotYetValid = -1204,
    };

    TransportError(QString domain, int code, QString description);

    // Whether a finished reply failed below HTTP: no answer at all, or an answer cut short.
    // Errors Qt derives from an HTTP status are not transport failures.
    static bool isTransportFailure(const QNetworkReply &reply);
    // The failure of a finished reply that got no HTTP answer. Reads the markers the shared
    // network manager leaves on the reply (timeout, certificate problems).
    static TransportError fromReply(const QNetworkReply &reply);
    // The URL-loading code of a Qt network error; host is used in certificate messages.
    static int codeFor(QNetworkReply::NetworkError error, const QString &detail = {});
    static QString describe(int code, const QString &host);

    const QString &domain() const noexcept { return m_domain; }
    int code() const noexcept { return m_code; }

private:
    QString m_domain;
    int m_code;
};

// True for failures that mean "the service cannot be reached from here": URL-loading errors
// whose code says no host, no connection, no DNS, roaming off, connection lost, offline, timeout.
bool isNetworkError(const std::exception &error);

// True for a request that was cancelled (its owner went away, or the user stopped it): not a
// failure to report.
bool isCancellation(const std::exception &error);
