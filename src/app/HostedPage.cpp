#include "HostedPage.h"

#include "ui/X11Embedding.h"

#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QVBoxLayout>
#include <QWindow>

HostedPage::HostedPage(WebViewFactory *factory, int id, Windows toolWindows, QSize size,
                       const QString &documentEndScript, Send send)
    : m_id(id)
    , m_send(std::move(send))
    , m_toolWindow(toolWindows.top)
{
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    m_view = factory->createView(this, documentEndScript, [this](const QUrl &address, const QUrl &fromPage) {
        tell(WebHostChannel::Op::Intercepted, {{QLatin1String("url"), address.toString(QUrl::FullyEncoded)},
                                                {QLatin1String("from"), fromPage.toString(QUrl::FullyEncoded)}});
    });
    layout->addWidget(m_view->widget());
    connect(m_view->widget(), SIGNAL(loadFinished(bool)), this, SLOT(reportLoad(bool)));
    // Made inside the tool's window, never a window of the desktop's own.
    setAttribute(Qt::WA_NativeWindow);
    m_parentWindow = QWindow::fromWinId(WId(toolWindows.parent));
    winId();
    windowHandle()->setParent(m_parentWindow);
    setGeometry(QRect(QPoint(0, 0), size));
    setHasKeyboard(false);
    show();
    qApp->installEventFilter(this);
    tell(WebHostChannel::Op::Window, {{QLatin1String("id"), qint64(winId())}});
}

HostedPage::~HostedPage()
{
    delete m_view->widget();
    // Out of the tool's window (the tool has usually taken it out already), and not onto the
    // desktop: the foreign parent would take this window with it.
    hide();
    windowHandle()->setParent(nullptr);
    delete m_parentWindow;
}

void HostedPage::load(const QUrl &url)
{
    m_view->load(url);
}

void HostedPage::reportLoad(bool ok)
{
    tell(WebHostChannel::Op::Loaded, {{QLatin1String("ok"), ok}});
}

void HostedPage::takeFocus(const QString &from, const QString &name)
{
    setWindowTitle(name);
    for (QWidget *stop : {m_view->widget(), m_view->widget()->focusProxy()}) {
        if (stop)
            stop->setAccessibleName(name);
    }
    m_pendingFocus = from;
    setHasKeyboard(true);
    // The tool gives this window the keyboard as it sends this; the focus goes where it was asked
    // once the window has it, so the page sees why (Tab: its first element, Backtab: its last).
    if (isActiveWindow())
        applyFocus();
}

void HostedPage::applyFocus()
{
    const QString from = std::exchange(m_pendingFocus, QString());
    QWidget *view = m_view->widget();
    if (from == QLatin1String("first"))
        view->setFocus(Qt::TabFocusReason);
    else if (from == QLatin1String("last"))
        view->setFocus(Qt::BacktabFocusReason);
    else if (!focusWidget())
        view->setFocus(Qt::OtherFocusReason);
}

// Past the page's first or last element: the tool's widgets are next, not this page's start again.
bool HostedPage::focusNextPrevChild(bool next)
{
    setHasKeyboard(false);
    tell(WebHostChannel::Op::Leave, {{QLatin1String("forward"), next}});
    return true;
}

// Keys the page left alone come here: those with Ctrl or Alt may be the tool's shortcuts (Ctrl+Q).
void HostedPage::keyPressEvent(QKeyEvent *event)
{
    if (!(event->modifiers() & (Qt::ControlModifier | Qt::AltModifier)))
        return QWidget::keyPressEvent(event);
    tell(WebHostChannel::Op::Key, {{QLatin1String("key"), event->key()},
                                   {QLatin1String("modifiers"), int(event->modifiers())}});
}

bool HostedPage::event(QEvent *event)
{
    // Not a sign of having the keyboard: X also tells this window of the focus of the tool's window
    // while the pointer is over the page. Only the tool says when the page has the keyboard.
    if (event->type() == QEvent::WindowActivate && !m_pendingFocus.isEmpty())
        applyFocus();
    return QWidget::event(event);
}

// Also when this page took the keyboard after the tool took it back (both asked at once): the
// tool's window gets it again.
void HostedPage::loseKeyboard()
{
    if (!m_hasKeyboard)
        return;
    setHasKeyboard(false);
    X11Embedding::giveKeyboard(m_toolWindow);
}

// Key events first, then the X keyboard focus: no key in between is lost.
void HostedPage::setHasKeyboard(bool has)
{
    m_hasKeyboard = has;
    X11Embedding::takeKeyEvents(quint32(winId()), has);
    if (has)
        X11Embedding::giveKeyboard(quint32(winId()));
}

// X gives a window the keyboard on a click only through a window manager, which knows nothing of
// this one: the page takes it, and tells the tool.
bool HostedPage::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::MouseButtonPress && !m_hasKeyboard && watched->isWidgetType()
        && isAncestorOf(static_cast<QWidget *>(watched))) {
        setHasKeyboard(true);
        tell(WebHostChannel::Op::TookFocus);
    }
    return QWidget::eventFilter(watched, event);
}

void HostedPage::tell(WebHostChannel::Op op, QJsonObject fields) const
{
    fields.insert(QLatin1String("view"), m_id);
    m_send(op, fields);
}
