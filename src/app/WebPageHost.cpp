#include "WebPageHost.h"

#include "app/HostedPage.h"
#include "service/ServiceNetwork.h"
#include "ui/RemoteWebViewFactory.h"
#include "ui/WebHostChannel.h"
#include "ui/WebViewLoader.h"

#include <QApplication>
#include <QJsonObject>
#include <QUrl>

#include <cstring>

#include <fcntl.h>

namespace {
// Where the tool puts the host's end of their socket pair.
constexpr int channelDescriptor = 3;
} // namespace

bool WebPageHost::isWanted(int argc, const char *const *argv)
{
    return argc == 2 && std::strcmp(argv[1], RemoteWebViewFactory::hostArgument()) == 0;
}

int WebPageHost::exec(int argc, char *argv[])
{
    QApplication app(argc, argv);
    app.setQuitOnLastWindowClosed(false);
    // The engine takes Qt's proxy settings once, at its start, as in the tool.
    ServiceNetwork::useSystemProxy();
    WebPageHost host;
    if (!host.open())
        return 2;
    return app.exec();
}

bool WebPageHost::open()
{
    if (!WebViewLoader::libraryFactory())
        return false;
    m_channel = new WebHostChannel;
    m_channel->setParent(this);
    if (!m_channel->open(channelDescriptor))
        return false;
    // Not for the engine's helper processes.
    ::fcntl(channelDescriptor, F_SETFD, FD_CLOEXEC);
    connect(m_channel, &WebHostChannel::received, this, &WebPageHost::dispatch);
    connect(m_channel, &WebHostChannel::closed, this, &WebPageHost::end);
    return true;
}

void WebPageHost::dispatch(const QJsonObject &message)
{
    const QString op = message.value(QLatin1String("op")).toString();
    const int id = message.value(QLatin1String("view")).toInt();
    WebViewFactory *factory = WebViewLoader::libraryFactory();
    if (op == QLatin1String(WebHostMessage::clearSiteData)) {
        factory->clearSiteData();
        return;
    }
    if (op == QLatin1String(WebHostMessage::blur)) {
        for (HostedPage *page : std::as_const(m_pages))
            page->loseKeyboard();
        return;
    }
    if (op == QLatin1String(WebHostMessage::create)) {
        delete m_pages.take(id);
        const QSize size(message.value(QLatin1String("width")).toInt(), message.value(QLatin1String("height")).toInt());
        const HostedPage::Windows windows{quint32(message.value(QLatin1String("parent")).toInteger()),
                                          quint32(message.value(QLatin1String("top")).toInteger())};
        m_pages.insert(id, new HostedPage(factory, id, windows, size, message.value(QLatin1String("script")).toString(),
                                          [this](const QJsonObject &reply) { m_channel->send(reply); }));
        return;
    }
    HostedPage *page = m_pages.value(id);
    if (!page)
        return;
    if (op == QLatin1String(WebHostMessage::load))
        page->load(QUrl(message.value(QLatin1String("url")).toString()));
    else if (op == QLatin1String(WebHostMessage::resize))
        page->resize(message.value(QLatin1String("width")).toInt(), message.value(QLatin1String("height")).toInt());
    else if (op == QLatin1String(WebHostMessage::focus))
        page->takeFocus(message.value(QLatin1String("from")).toString(), message.value(QLatin1String("name")).toString());
    else if (op == QLatin1String(WebHostMessage::close))
        delete m_pages.take(id);
}

// The tool closed the channel (or ended): the pages go, then the profile, whose cookies and site
// storage the engine writes out as it lets go of it.
void WebPageHost::end()
{
    qDeleteAll(std::exchange(m_pages, {}));
    WebViewLoader::libraryFactory()->releaseIdle();
    QCoreApplication::quit();
}
