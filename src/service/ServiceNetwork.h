#pragma once

#include <QList>
#include <QNetworkAccessManager>
#include <QSslError>

#include <chrono>
#include <memory>

class QNetworkReply;

// The one network access manager of the process, shared by the service client and the package
// download. Redirects are followed (never to a less safe scheme), TLS is verified, and a transfer
// is aborted and reported as timed out when it moves no byte for the transfer timeout, or fewer than
// the low-speed limit's bytes in any window of its time (a server that trickles would hold it forever).
class ServiceNetwork
{
public:
    static constexpr std::chrono::milliseconds defaultTransferTimeout{60000};
    static constexpr qint64 defaultLowSpeedLimit = 1024;
    static constexpr std::chrono::milliseconds defaultLowSpeedTime{60000};

    static QNetworkAccessManager &manager();

    // Requests follow the system's proxy settings (on Linux the http_proxy, https_proxy and no_proxy
    // variables and the desktop's settings, read by Qt through libproxy; on macOS the system
    // settings). The embedded browser takes Qt's proxy when it starts, so the application calls this
    // before any page is made; the manager calls it too.
    static void useSystemProxy();

    // Applies to requests started afterwards; tests use a short one.
    static void setTransferTimeout(std::chrono::milliseconds timeout);
    // Applies to requests started afterwards; tests use a short window.
    static void setLowSpeedLimit(qint64 bytes, std::chrono::milliseconds time);

    // Markers left on a reply by the manager, read when the reply failed.
    static bool hasTimedOut(const QNetworkReply &reply);
    static QList<QSslError::SslError> sslErrors(const QNetworkReply &reply);

    // Ends a reply its owner no longer waits for: no signal reaches the owner afterwards, a running
    // transfer is aborted, and the reply is deleted from the event loop.
    struct ReplyDeleter
    {
        void operator()(QNetworkReply *reply) const;
    };
    using OwnedReply = std::unique_ptr<QNetworkReply, ReplyDeleter>;
};
