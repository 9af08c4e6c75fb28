#include "RemoteBrowser.h"

#include "ui/RemoteWebViewFactory.h"
#include "ui/WebHostChannel.h"
#include "ui/X11Embedding.h"

#include <QAction>
#include <QFocusEvent>
#include <QShortcut>
#include <QJsonObject>

RemoteBrowser::RemoteBrowser(RemoteWebViewFactory *factory, int id, const QString &documentEndScript,
                             WebViewFactory::InterceptHandler onIntercepted, QWidget *parent)
    : QWidget(parent)
    , m_factory(factory)
    , m_id(id)
    , m_documentEndScript(documentEndScript)
    , m_onIntercepted(std::move(onIntercepted))
{
    setFocusPolicy(Qt::StrongFocus);
    // A window of its own for the host's to live in; the tool's window stays the only other one.
    setAttribute(Qt::WA_DontCreateNativeAncestors);
    setAttribute(Qt::WA_NativeWindow);
    announce();
}

RemoteBrowser::~RemoteBrowser()
{
    releaseWindow();
    if (m_factory)
        m_factory->viewDestroyed(m_id);
}

void RemoteBrowser::announce()
{
    m_factory->send(WebHostChannel::Op::Create,
                    {{QLatin1String("view"), m_id},
                     {QLatin1String("parent"), qint64(winId())},
                     {QLatin1String("top"), qint64(window()->winId())},
                     {QLatin1String("width"), width()},
                     {QLatin1String("height"), height()},
                     {QLatin1String("script"), m_documentEndScript}});
    if (!m_url.isEmpty())
        load(m_url);
}

void RemoteBrowser::load(const QUrl &url)
{
    m_url = url;
    if (m_factory)
        m_factory->send(WebHostChannel::Op::Load,
                        {{QLatin1String("view"), m_id},
                         {QLatin1String("url"), url.toString(QUrl::FullyEncoded)}});
}

void RemoteBrowser::embedded(quint32 hostWindow)
{
    m_hostWindow = hostWindow;
    if (hasFocus() && isActiveWindow())
        sendFocus("current");
}

void RemoteBrowser::releaseWindow()
{
    if (m_hostWindow)
        X11Embedding::release(m_hostWindow);
    m_hostWindow = 0;
}

void RemoteBrowser::finishLoad(bool ok)
{
    Q_EMIT loadFinished(ok);
}

void RemoteBrowser::intercept(const QUrl &address, const QUrl &fromPage)
{
    if (m_onIntercepted)
        m_onIntercepted(address, fromPage);
}

void RemoteBrowser::focusInEvent(QFocusEvent *event)
{
    QWidget::focusInEvent(event);
    if (m_handingBack || !m_hostWindow)
        return;
    switch (event->reason()) {
    case Qt::TabFocusReason:
        sendFocus("first");
        break;
    case Qt::BacktabFocusReason:
        sendFocus("last");
        break;
    default:
        sendFocus("current");
        break;
    }
}

// The host takes the X keyboard focus itself, once its window takes key events: keys typed in
// between reach this window, where they belong until then.
void RemoteBrowser::sendFocus(const char *from)
{
    m_factory->send(WebHostChannel::Op::Focus,
                    {{QLatin1String("view"), m_id},
                     {QLatin1String("from"), QLatin1String(from)},
                     {QLatin1String("name"), accessibleName()}});
    m_factory->setPageHasKeyboard(true);
}

// A click in the page gave it the keyboard: this view is the tool window's focus.
void RemoteBrowser::pageTookFocus()
{
    QWidget *previous = window()->focusWidget();
    m_handingBack = true;
    setFocus(Qt::MouseFocusReason);
    m_handingBack = false;
    // The widget that had the focus is told, but the tool's window may not be the active one.
    if (previous && previous != this)
        previous->update();
    m_factory->setPageHasKeyboard(true);
}

// The focus moved on in the tool's window (not by a key: those go to the page): the keyboard follows.
void RemoteBrowser::focusOutEvent(QFocusEvent *event)
{
    QWidget::focusOutEvent(event);
    const Qt::FocusReason reason = event->reason();
    if (m_handingBack || reason == Qt::ActiveWindowFocusReason || reason == Qt::PopupFocusReason)
        return;
    m_factory->takeKeyboardBack(window());
}

// Tab went past the page's end: the keyboard comes back to the tool's window, to the widget after
// (or before) this one.
void RemoteBrowser::takeBackFocus(bool forward)
{
    m_handingBack = true;
    m_factory->setPageHasKeyboard(false);
    QWidget *top = window();
    top->activateWindow();
    X11Embedding::giveKeyboard(quint32(top->winId()));
    setFocus(forward ? Qt::TabFocusReason : Qt::BacktabFocusReason);
    focusNextPrevChild(forward);
    m_handingBack = false;
}

void RemoteBrowser::runShortcut(const QKeySequence &sequence)
{
    for (QShortcut *shortcut : window()->findChildren<QShortcut *>()) {
        if (shortcut->isEnabled() && shortcut->key() == sequence) {
            Q_EMIT shortcut->activated();
            return;
        }
    }
    for (QAction *action : window()->findChildren<QAction *>()) {
        if (action->isEnabled() && action->shortcut() == sequence) {
            action->trigger();
            return;
        }
    }
}

void RemoteBrowser::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    sendSize();
}

void RemoteBrowser::sendSize()
{
    if (m_factory)
        m_factory->send(WebHostChannel::Op::Resize,
                        {{QLatin1String("view"), m_id},
                         {QLatin1String("width"), width()},
                         {QLatin1String("height"), height()}});
}
