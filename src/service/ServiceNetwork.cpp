#include "ServiceNetwork.h"

#include <QCoreApplication>
#include <QNetworkReply>
#include <QPointer>
#include <QTimer>

namespace {

const char timedOutProperty[] = "corvantaTransferTimedOut";
const char sslErrorsProperty[] = "corvantaSslErrors";

std::chrono::milliseconds currentTimeout = ServiceNetwork::defaultTransferTimeout;

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
        QObject::connect(watchdog, &QTimer::timeout, reply, [reply] {
            if (reply->isFinished())
                return;
            reply->setProperty(timedOutProperty, true);
            reply->abort();
        });
        const auto restart = [watchdog] { watchdog->start(); };
        QObject::connect(reply, &QNetworkReply::downloadProgress, watchdog, restart);
        QObject::connect(reply, &QNetworkReply::uploadProgress, watchdog, restart);
        QObject::connect(reply, &QNetworkReply::finished, watchdog, &QTimer::stop);
        QObject::connect(reply, &QNetworkReply::sslErrors, reply, [reply](const QList<QSslError> &errors) {
            QVariantList codes;
            for (const QSslError &error : errors)
                codes.append(int(error.error()));
            reply->setProperty(sslErrorsProperty, codes);
        });
        watchdog->start();
    }
};

} // namespace

QNetworkAccessManager &ServiceNetwork::manager()
{
    static QPointer<QNetworkAccessManager> shared;
    if (!shared)
        shared = new WatchedNetworkAccessManager(QCoreApplication::instance());
    return *shared;
}

std::chrono::milliseconds ServiceNetwork::transferTimeout()
{
    return currentTimeout;
}

void ServiceNetwork::setTransferTimeout(std::chrono::milliseconds timeout)
{
    currentTimeout = timeout;
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
