#include "HostedPage.h"

#include "ui/WebHostChannel.h"

#include <QApplication>
#include <QMouseEvent>
#include <QVBoxLayout>
#include <QWindow>

HostedPage::HostedPage(WebViewFactory *factory, int id, quintptr parentWindow, QSize size,
                       const QString &documentEndScript, Send send)
    : m_id(id)
    , m_send(std::move(send))
{
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    m_view = factory->createView(this, documentEndScript, [this](const QUrl &address, const QUrl &fromPage) {
        QJsonObject intercepted = message(WebHostMessage::intercepted);
        intercepted.insert(QLatin1String("url"), address.toString(QUrl::FullyEncoded));
        intercepted.insert(QLatin1String("from"), fromPage.toString(QUrl::FullyEncoded));
        m_send(intercepted);
    });
    layout->addWidget(m_view->widget());
    connect(m_view->widget(), SIGNAL(loadFinished(bool)), this, SLOT(reportLoad(bool)));
    // Made inside the tool's window, never a window of the desktop's own.
    setAttribute(Qt::WA_NativeWindow);
    m_parentWindow = QWindow::fromWinId(WId(parentWindow));
    winId();
    windowHandle()->setParent(m_parentWindow);
    setGeometry(QRect(QPoint(0, 0), size));
    show();
    qApp->installEventFilter(this);
    QJsonObject window = message(WebHostMessage::window);
    window.insert(QLatin1String("id"), qint64(winId()));
    m_send(window);
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
    QJsonObject loaded = message(WebHostMessage::loaded);
    loaded.insert(QLatin1String("ok"), ok);
    m_send(loaded);
}

void HostedPage::takeFocus(const QString &from, const QString &name)
{
    setWindowTitle(name);
    for (QWidget *stop : {m_view->widget(), m_view->widget()->focusProxy()}) {
        if (stop)
            stop->setAccessibleName(name);
    }
    m_pendingFocus = from;
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
    QJsonObject leave = message(WebHostMessage::leave);
    leave.insert(QLatin1String("forward"), next);
    m_send(leave);
    return true;
}

bool HostedPage::event(QEvent *event)
{
    if (event->type() == QEvent::WindowActivate && !m_pendingFocus.isEmpty())
        applyFocus();
    return QWidget::event(event);
}

// X gives a window the keyboard on a click only through a window manager, which knows nothing of
// this one: the tool gives it.
bool HostedPage::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::MouseButtonPress && !isActiveWindow() && watched->isWidgetType()
        && isAncestorOf(static_cast<QWidget *>(watched)))
        m_send(message(WebHostMessage::wantsFocus));
    return QWidget::eventFilter(watched, event);
}

QJsonObject HostedPage::message(const char *op) const
{
    return {{QLatin1String("op"), QLatin1String(op)}, {QLatin1String("view"), m_id}};
}
