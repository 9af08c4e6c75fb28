#include "RemoteWebViewFactory.h"

#include "ui/RemoteBrowser.h"
#include "ui/WebHostChannel.h"
#include "ui/WebViewLoader.h"
#include "ui/X11Embedding.h"

#include <QAccessible>
#include <QGuiApplication>
#include <QJsonObject>
#include <QKeySequence>
#include <QLoggingCategory>
#include <QProcess>
#include <QTimer>
#include <QWidget>

#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

Q_LOGGING_CATEGORY(lcWebHost, "corvanta.webview.host")

namespace {

// The host's end of the socket pair, where it finds it.
constexpr int hostDescriptor = 3;
// How long an ending host may take to write its site data before it is killed.
constexpr int hostExitMs = 5000;
// Hosts that may end in a row without making a page before the open pages stay empty.
constexpr int hostAttempts = 3;

} // namespace

RemoteWebViewFactory::RemoteWebViewFactory(QObject *parent)
    : QObject(parent)
{
    // A click in the tool's window takes the keyboard back from a page that has it.
    qApp->installEventFilter(this);
}

RemoteWebViewFactory::~RemoteWebViewFactory()
{
    for (const QPointer<RemoteBrowser> &view : std::as_const(m_views)) {
        if (view)
            view->releaseWindow();
    }
    stopHost(HostStop::Wait);
}

bool RemoteWebViewFactory::suitsThisSession()
{
    return QGuiApplication::platformName() == QLatin1String("xcb") && !QAccessible::isActive();
}

const char *RemoteWebViewFactory::hostArgument()
{
    return "--serve-online-pages";
}

void RemoteWebViewFactory::configure(const Settings &)
{
    // The host configures its own engine alike, from the same paths.
}

WebViewBackend *RemoteWebViewFactory::createView(QWidget *parent, const QString &documentEndScript,
                                                 InterceptHandler onIntercepted)
{
    if (!m_host)
        startHost();
    const int id = m_nextId++;
    auto *view = new RemoteBrowser(this, id, documentEndScript, std::move(onIntercepted), parent);
    m_views.insert(id, view);
    return view;
}

void RemoteWebViewFactory::clearSiteData()
{
    send(WebHostChannel::Op::ClearSiteData);
}

void RemoteWebViewFactory::releaseIdle()
{
    if (m_views.isEmpty())
        stopHost(HostStop::InBackground);
}

void RemoteWebViewFactory::send(WebHostChannel::Op op, const QJsonObject &fields)
{
    if (m_channel)
        m_channel->send(op, fields);
}

void RemoteWebViewFactory::viewDestroyed(int id)
{
    m_views.remove(id);
    send(WebHostChannel::Op::Close, {{QLatin1String("view"), id}});
}

void RemoteWebViewFactory::takeKeyboardBack(QWidget *window)
{
    if (!m_pageHasKeyboard)
        return;
    m_pageHasKeyboard = false;
    send(WebHostChannel::Op::Blur);
    X11Embedding::giveKeyboard(quint32(window->winId()));
}

bool RemoteWebViewFactory::isHostRunning() const
{
    return m_host != nullptr;
}

qint64 RemoteWebViewFactory::hostProcessId() const
{
    return m_host ? m_host->processId() : 0;
}

void RemoteWebViewFactory::startHost()
{
    int pair[2];
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, pair) != 0) {
        qCWarning(lcWebHost) << "no socket pair for the page host:" << strerror(errno);
        return;
    }
    m_channel = new WebHostChannel;
    m_channel->setParent(this);
    m_channel->open(pair[0]);
    connect(m_channel, &WebHostChannel::received, this, &RemoteWebViewFactory::dispatch);

    m_host = new QProcess(this);
    m_host->setProcessChannelMode(QProcess::ForwardedChannels);
    const int hostEnd = pair[1];
    m_host->setChildProcessModifier([hostEnd] {
        if (hostEnd == hostDescriptor)
            ::fcntl(hostEnd, F_SETFD, 0);
        else
            ::dup2(hostEnd, hostDescriptor);
    });
    connect(m_host, &QProcess::finished, this, &RemoteWebViewFactory::hostEnded);
    connect(m_host, &QProcess::errorOccurred, this, [this](QProcess::ProcessError error) {
        if (error == QProcess::FailedToStart)
            hostEnded();
    });
    m_host->start(WebViewLoader::hostProgram(), {QString::fromLatin1(hostArgument())});
    ::close(hostEnd);
}

void RemoteWebViewFactory::stopHost(HostStop how)
{
    if (!m_host)
        return;
    QProcess *host = std::exchange(m_host, nullptr);
    disconnect(host, nullptr, this, nullptr);
    // The host ends when its end of the channel closes, after writing what the engine keeps.
    m_channel->close();
    m_channel->deleteLater();
    m_channel = nullptr;
    if (how == HostStop::Wait) {
        if (!host->waitForFinished(hostExitMs)) {
            qCWarning(lcWebHost) << "the page host did not end; killed";
            host->kill();
            host->waitForFinished(hostExitMs);
        }
        delete host;
        return;
    }
    connect(host, &QProcess::finished, host, &QObject::deleteLater);
    QTimer::singleShot(hostExitMs, host, [host] {
        qCWarning(lcWebHost) << "the page host did not end; killed";
        host->kill();
    });
}

void RemoteWebViewFactory::hostEnded()
{
    if (!m_host)
        return;
    qCWarning(lcWebHost) << "the page host ended:" << m_host->exitStatus() << m_host->exitCode() << m_host->errorString();
    m_host->deleteLater();
    m_host = nullptr;
    m_channel->deleteLater();
    m_channel = nullptr;
    // The pages that were open are made again by a new host, unless hosts keep ending before
    // making one (a broken installation): then they stay empty, the rest of the tool unharmed.
    QList<RemoteBrowser *> views;
    for (const QPointer<RemoteBrowser> &view : std::as_const(m_views)) {
        if (view) {
            view->forgetHostWindow();
            views.append(view);
        }
    }
    if (views.isEmpty())
        return;
    // The page's window went with the keyboard.
    if (m_pageHasKeyboard)
        takeKeyboardBack(views.first()->window());
    if (++m_failedHosts >= hostAttempts) {
        qCWarning(lcWebHost) << "the page host keeps ending; the online pages stay empty";
        return;
    }
    startHost();
    for (RemoteBrowser *view : views)
        view->announce();
}

void RemoteWebViewFactory::dispatch(WebHostChannel::Op op, const QJsonObject &message)
{
    using Op = WebHostChannel::Op;
    RemoteBrowser *view = m_views.value(message.value(QLatin1String("view")).toInt());
    if (!view)
        return;
    switch (op) {
    case Op::Window:
        m_failedHosts = 0;
        view->embedded(quint32(message.value(QLatin1String("id")).toInteger()));
        break;
    case Op::Loaded:
        view->finishLoad(message.value(QLatin1String("ok")).toBool());
        break;
    case Op::Intercepted:
        view->intercept(QUrl(message.value(QLatin1String("url")).toString()),
                        QUrl(message.value(QLatin1String("from")).toString()));
        break;
    case Op::Leave:
        view->takeBackFocus(message.value(QLatin1String("forward")).toBool());
        break;
    case Op::TookFocus:
        view->pageTookFocus();
        break;
    case Op::Key:
        view->runShortcut(QKeySequence(QKeyCombination(Qt::KeyboardModifiers(message.value(QLatin1String("modifiers")).toInt()),
                                                        Qt::Key(message.value(QLatin1String("key")).toInt()))));
        break;
    default:
        // What the tool asks the host; never sent this way.
        break;
    }
}

bool RemoteWebViewFactory::eventFilter(QObject *watched, QEvent *event)
{
    // X gives no window the keyboard on a click; a window manager does for the window it frames,
    // but not when that window is already the active one (the page inside it has the keyboard).
    if (m_pageHasKeyboard && event->type() == QEvent::MouseButtonPress && watched->isWidgetType()) {
        QWidget *top = static_cast<QWidget *>(watched)->window();
        if (top->windowType() == Qt::Window || top->windowType() == Qt::Dialog)
            takeKeyboardBack(top);
    }
    return QObject::eventFilter(watched, event);
}
