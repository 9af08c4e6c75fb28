#include "WebHostChannel.h"

#include <QJsonDocument>
#include <QLocalSocket>
#include <QPointer>

#include <array>
#include <optional>
#include <utility>

namespace {

using Op = WebHostChannel::Op;

// The kinds as the lines name them, read both ways.
constexpr std::array<std::pair<Op, const char *>, 13> opNames{{
    {Op::Create, "create"},
    {Op::Resize, "resize"},
    {Op::Load, "load"},
    {Op::Focus, "focus"},
    {Op::Close, "close"},
    {Op::Blur, "blur"},
    {Op::ClearSiteData, "clear"},
    {Op::Window, "window"},
    {Op::Loaded, "loaded"},
    {Op::Intercepted, "intercepted"},
    {Op::Leave, "leave"},
    {Op::TookFocus, "tookFocus"},
    {Op::Key, "key"},
}};

const QLatin1String opKey("op");

QLatin1String nameOf(Op op)
{
    for (const auto &[known, name] : opNames) {
        if (known == op)
            return QLatin1String(name);
    }
    Q_UNREACHABLE();
}

std::optional<Op> opNamed(const QString &name)
{
    for (const auto &[op, known] : opNames) {
        if (name == QLatin1String(known))
            return op;
    }
    return std::nullopt;
}

} // namespace

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

void WebHostChannel::send(Op op, QJsonObject fields)
{
    if (!isOpen())
        return;
    fields.insert(opKey, nameOf(op));
    m_socket->write(QJsonDocument(fields).toJson(QJsonDocument::Compact) + '\n');
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
        const QJsonObject message = QJsonDocument::fromJson(m_socket->readLine()).object();
        if (const std::optional<Op> op = opNamed(message.value(opKey).toString()))
            Q_EMIT received(*op, message);
    }
}
