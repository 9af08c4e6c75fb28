#include "WebHostChannel.h"

#include <QJsonDocument>
#include <QLocalSocket>
#include <QPointer>

bool WebHostChannel::open(qintptr descriptor)
{
    auto *socket = new QLocalSocket(this);
    if (!socket->setSocketDescriptor(descriptor)) {
        delete socket;
        return false;
    }
    m_socket = socket;
    connect(socket, &QLocalSocket::readyRead, this, &WebHostChannel::readLines);
    connect(socket, &QLocalSocket::disconnected, this, &WebHostChannel::closed);
    return true;
}

bool WebHostChannel::isOpen() const
{
    return m_socket && m_socket->state() == QLocalSocket::ConnectedState;
}

void WebHostChannel::send(const QJsonObject &message)
{
    if (isOpen())
        m_socket->write(QJsonDocument(message).toJson(QJsonDocument::Compact) + '\n');
}

void WebHostChannel::close()
{
    if (m_socket)
        m_socket->disconnectFromServer();
}

void WebHostChannel::readLines()
{
    QPointer<WebHostChannel> self(this);
    while (self && m_socket->canReadLine()) {
        const QJsonDocument line = QJsonDocument::fromJson(m_socket->readLine());
        // Both ends are this program: a line that is no object is a fault of ours, dropped.
        if (line.isObject())
            Q_EMIT received(line.object());
    }
}
