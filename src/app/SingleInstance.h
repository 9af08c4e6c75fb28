#pragma once

#include <QLocalServer>
#include <QObject>

#include <functional>

// One running tool per user and home: a later launch asks the running one to show its window and
// then ends. The channel is a local socket named after the bundle identifier, the user and home.
class QLocalSocket;

class SingleInstance : public QObject
{
    Q_OBJECT

public:
    static constexpr int replyTimeoutMs = 5000;

    explicit SingleInstance(QObject *parent = nullptr);

    static QString serverName();
    // Asks a running instance to show its window; true once it has confirmed.
    static bool notifyRunningInstance();
    // Starts answering later launches; false if the name cannot be taken, also when another copy
    // is listening on it already.
    bool listen();

    // Returns whether the window is now on screen; the reply tells the later launch.
    void setShowHandler(std::function<bool()> handler) { m_showHandler = std::move(handler); }

private:
    void answer(QLocalSocket *socket);

    QLocalServer m_server;
    std::function<bool()> m_showHandler;
};
