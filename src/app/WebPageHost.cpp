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

void WebPageHost::dispatch(WebHostChannel::Op op, const QJsonObject &message)
{
    using Op = WebHostChannel::Op;
    const int id = message.value(QLatin1String("view")).toInt();
    WebViewFactory *factory = WebViewLoader::libraryFactory();
    switch (op) {
    case Op::ClearSiteData:
        factory->clearSiteData();
        return;
    case Op::Blur:
        for (HostedPage *page : std::as_const(m_pages))
            page->loseKeyboard();
        return;
    case Op::Create: {
        delete m_pages.take(id);
        const QSize size(message.value(QLatin1String("width")).toInt(), message.value(QLatin1String("height")).toInt());
        const HostedPage::Windows windows{quint32(message.value(QLatin1String("parent")).toInteger()),
                                          quint32(message.value(QLatin1String("top")).toInteger())};
        m_pages.insert(id, new HostedPage(factory, id, windows, size, message.value(QLatin1String("script")).toString(),
                                          [this](Op reply, const QJsonObject &fields) { m_channel->send(reply, fields); }));
        return;
    }
    case Op::Close:
        delete m_pages.take(id);
        return;
    default:
        break;
    }
    HostedPage *page = m_pages.value(id);
    if (!page)
        return;
    switch (op) {
    case Op::Load:
        page->load(QUrl(message.value(QLatin1String("url")).toString()));
        break;
    case Op::Resize:
        page->resize(message.value(QLatin1String("width")).toInt(), message.value(QLatin1String("height")).toInt());
        break;
    case Op::Focus:
        page->takeFocus(message.value(QLatin1String("from")).toString(), message.value(QLatin1String("name")).toString());
        break;
    default:
        // What the host tells the tool; never sent this way.
        break;
    }
}

// The tool closed the channel (or ended): the pages go, then the profile, whose cookies and site
// storage the engine writes out as it lets go of it.
void WebPageHost::end()
{
    qDeleteAll(std::exchange(m_pages, {}));
    WebViewLoader::libraryFactory()->releaseIdle();
    QCoreApplication::quit();
}
