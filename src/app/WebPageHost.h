#pragma once

#include "ui/WebHostChannel.h"

#include <QHash>
#include <QJsonObject>
#include <QObject>

class HostedPage;

// The tool's executable started to serve its online pages (see RemoteWebViewFactory): it makes the
// pages the tool asks for inside the tool's window and ends when the tool closes the channel, and
// with it the web engine and the engine's helper processes.
class WebPageHost : public QObject
{
    Q_OBJECT

public:
    static bool isWanted(int argc, const char *const *argv);
    static int exec(int argc, char *argv[]);

private:
    bool open();
    void dispatch(WebHostChannel::Op op, const QJsonObject &message);
    void end();

    WebHostChannel *m_channel = nullptr;
    QHash<int, HostedPage *> m_pages;
};
