#include "ServiceNetwork.h"

#include <QCoreApplication>
#include <QNetworkProxyFactory>
#include <QNetworkReply>
#include <QPointer>
#include <QTimer>

#include <memory>

namespace {

const char timedOutProperty[] = "corvantaTransferTimedOut";
const char sslErrorsProperty[] = "corvantaSslErrors";

std::chrono::milliseconds currentTimeout = ServiceNetwork::defaultTransferTimeout;
qint64 currentLowSpeedLimit = ServiceNetwork::defaultLowSpeedLimit;
std::chrono::milliseconds currentLowSpeedTime = ServiceNetwork::defaultLowSpeedTime;

void markTimedOut(QNetworkReply *reply)
{
    if (reply->isFinished())
        return;
    reply->setProperty(timedOutProperty, true);
    reply->abort();
}

// Qt's own transfer timeout aborts a reply exactly like a cancel does; this watchdog marks the
// reply first, so a timeout can be told apart from a cancelled request.
class WatchedNetworkAccessManager : public QNetworkAccessManager
{
public:
    explicit WatchedNetworkAccessManager(QObject *parent)
        : QNetworkAccessManager(parent)
    {
        setRedirectPolicy(QNetworkRequest::NoLessSafeRedirectPolicy);
        setTransferTimeout(0);
    }

protected:
    QNetworkReply *createRequest(Operation op, const QNetworkRequest &request, QIODevice *outgoingData) override
    {
        QNetworkReply *reply = QNetworkAccessManager::createRequest(op, request, outgoingData);
        watch(reply);
        return reply;
    }

private:
    static void watch(QNetworkReply *reply)
    {
        auto *watchdog = new QTimer(reply);
        watchdog->setSingleShot(true);
        watchdog->setInterval(currentTimeout);
        QObject::connect(watchdog, &QTimer::timeout, reply, [reply] { markTimedOut(reply); });
        const auto restart = [watchdog] { watchdog->start(); };
        QObject::connect(reply, &QNetworkReply::downloadProgress, watchdog, restart);
        QObject::connect(reply, &QNetworkReply::uploadProgress, watchdog, restart);
        QObject::connect(reply, &QNetworkReply::finished, watchdog, &QTimer::stop);
        watchSpeed(reply);
        QObject::connect(reply, &QNetworkReply::sslErrors, reply, [reply](const QList<QSslError> &errors) {
            QVariantList codes;
            for (const QSslError &error : errors)
                codes.append(int(error.error()));
            reply->setProperty(sslErrorsProperty, codes);
        });
        watchdog->start();
    }

    // Every window of lowSpeedTime must move lowSpeedLimit bytes, counted in both directions.
    static void watchSpeed(QNetworkReply *reply)
    {
        struct Moved
        {
            qint64 received = 0;
            qint64 sent = 0;
            qint64 atWindowStart = 0;
        };
        auto moved = std::make_shared<Moved>();
        auto window = new QTimer(reply);
        window->setInterval(currentLowSpeedTime);
        QObject::connect(window, &QTimer::timeout, reply,
                         [reply, moved, limit = currentLowSpeedLimit] {
                             const qint64 total = moved->received + moved->sent;
                             if (total - moved->atWindowStart < limit)
                                 markTimedOut(reply);
                             moved->atWindowStart = total;
                         });
        QObject::connect(reply, &QNetworkReply::downloadProgress, window,
                         [moved](qint64 received, qint64) { moved->received = received; });
        QObject::connect(reply, &QNetworkReply::uploadProgress, window,
                         [moved](qint64 sent, qint64) { moved->sent = sent; });
        QObject::connect(reply, &QNetworkReply::finished, window, &QTimer::stop);
        window->start();
    }
};

QPointer<QNetworkAccessManager> sharedManager;

// Deleted at the start of the application object's destruction rather than among its children:
// by then the transfer thread can no longer wind down an aborted reply, and its connection objects
// would be left behind.
void deleteSharedManager()
{
    delete sharedManager;
}

} // namespace

QNetworkAccessManager &ServiceNetwork::manager()
{
    if (!sharedManager) {
        useSystemProxy();
        sharedManager = new WatchedNetworkAccessManager(QCoreApplication::instance());
        qAddPostRoutine(deleteSharedManager);
    }
    return *sharedManager;
}

void ServiceNetwork::useSystemProxy()
{
    QNetworkProxyFactory::setUseSystemConfiguration(true);
}

void ServiceNetwork::setTransferTimeout(std::chrono::milliseconds timeout)
{
    currentTimeout = timeout;
}

void ServiceNetwork::setLowSpeedLimit(qint64 bytes, std::chrono::milliseconds time)
{
    currentLowSpeedLimit = bytes;
    currentLowSpeedTime = time;
}

bool ServiceNetwork::hasTimedOut(const QNetworkReply &reply)
{
    return reply.property(timedOutProperty).toBool();
}

QList<QSslError::SslError> ServiceNetwork::sslErrors(const QNetworkReply &reply)
{
    QList<QSslError::SslError> errors;
    const QVariantList codes = reply.property(sslErrorsProperty).toList();
    for (const QVariant &code : codes)
        errors.append(QSslError::SslError(code.toInt()));
    return errors;
}

void ServiceNetwork::ReplyDeleter::operator()(QNetworkReply *reply) const
{
    reply->disconnect();
    if (reply->isRunning())
        reply->abort();
    reply->deleteLater();
}
