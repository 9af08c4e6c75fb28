#include "SingleInstance.h"

#include "core/AppConstants.h"

#include <QCryptographicHash>
#include <QDir>
#include <QLocalSocket>

#include <unistd.h>

namespace {
const QByteArray showRequest = QByteArrayLiteral("show\n");
const QByteArray shownReply = QByteArrayLiteral("shown\n");
} // namespace

SingleInstance::SingleInstance(QObject *parent)
    : QObject(parent)
{
    // Only this user may ask the running copy to show itself.
    m_server.setSocketOptions(QLocalServer::UserAccessOption);
    connect(&m_server, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket *socket = m_server.nextPendingConnection())
            answer(socket);
    });
}

QString SingleInstance::serverName()
{
    // Everything the tool keeps lives below home, so copies with different homes do not meet.
    const QByteArray home = QCryptographicHash::hash(QDir::homePath().toUtf8(), QCryptographicHash::Sha256).toHex();
    return QStringLiteral("%1.%2.%3").arg(authToolBundleId).arg(::getuid()).arg(QString::fromLatin1(home.left(16)));
}

bool SingleInstance::notifyRunningInstance()
{
    QLocalSocket socket;
    socket.connectToServer(serverName());
    if (!socket.waitForConnected(replyTimeoutMs))
        return false;
    socket.write(showRequest);
    if (!socket.waitForBytesWritten(replyTimeoutMs))
        return false;
    QByteArray reply;
    while (!reply.contains('\n') && socket.waitForReadyRead(replyTimeoutMs))
        reply += socket.readAll();
    return reply == shownReply;
}

bool SingleInstance::listen()
{
    // With access options Qt binds elsewhere and renames the socket into place, replacing whatever
    // is there: ask first, so a copy that started at the same moment and listens already keeps its
    // channel. A name nobody listens on is left over from a copy that crashed and is replaced.
    const QString name = serverName();
    QLocalSocket probe;
    probe.connectToServer(name);
    if (probe.waitForConnected(replyTimeoutMs))
        return false;
    QLocalServer::removeServer(name);
    return m_server.listen(name);
}

void SingleInstance::answer(QLocalSocket *socket)
{
    connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
    connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
        if (!socket->canReadLine())
            return;
        const bool wanted = socket->readLine() == showRequest;
        if (wanted && m_showHandler && m_showHandler())
            socket->write(shownReply);
        socket->disconnectFromServer();
    });
}
