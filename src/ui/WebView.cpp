#include "WebView.h"

#include "ui/RoundedPanel.h"
#include "ui/UiPalette.h"
#include "ui/WebViewBackend.h"
#include "ui/WebViewLoader.h"

#include <QGuiApplication>
#include <QPainter>
#include <QPainterPath>
#include <QPointer>
#include <QVBoxLayout>
#include <QWindow>

namespace {
constexpr qreal cornerRadius = 12;

// The engine draws through a Qt Quick widget whose offscreen window, never shown, is a top-level
// window to Qt: screen readers would list it as a second frame, "Offscreen". Qt lists no popups.
void keepOffscreenWindowsFromScreenReaders()
{
    for (QWindow *window : QGuiApplication::topLevelWindows()) {
        if (window->objectName() == QLatin1String("QQuickWidgetOffscreenWindow") && window->type() != Qt::Popup)
            window->setFlags((window->flags() & ~Qt::WindowType_Mask) | Qt::Popup);
    }
}
} // namespace

const QString websiteChromeHidingScript = QStringLiteral(
    "(function () {\n"
    "  var styleId = 'corvanta-desktop-shell-style';\n"
    "  if (document.getElementById(styleId)) return;\n"
    "  var style = document.createElement('style');\n"
    "  style.id = styleId;\n"
    "  style.textContent = [\n"
    "    'body > div.flex.min-h-screen.flex-col > header.fixed.inset-x-0.top-0.z-50 { display: none !important; }',\n"
    "    'body > div.flex.min-h-screen.flex-col > footer { display: none !important; }',\n"
    "    'body > div.flex.min-h-screen.flex-col > main { padding-top: 0 !important; }',\n"
    "    'body { background: #f6f8fb !important; }'\n"
    "  ].join('\\n');\n"
    "  document.head.appendChild(style);\n"
    "})();");

WebView::WebView(const QUrl &url, bool hidesWebsiteChrome, QWidget *parent)
    : QWidget(parent)
    , m_url(url)
    , m_hidesWebsiteChrome(hidesWebsiteChrome)
    , m_layout(new QVBoxLayout(this))
{
    // The browser sits inside the one-point border.
    m_layout->setContentsMargins(1, 1, 1, 1);
}

WebView::~WebView()
{
    if (!m_backend)
        return;
    // The browser goes first, so the factory finds no view left when the idle delay runs out.
    delete m_backend->widget();
    WebViewLoader::browserDestroyed();
}

QWidget *WebView::browser() const
{
    return m_backend ? m_backend->widget() : nullptr;
}

void WebView::setUrl(const QUrl &url)
{
    m_url = url;
    if (m_backend && url != m_requestedURL)
        loadRequested(url);
}

void WebView::reload()
{
    if (m_backend)
        loadRequested(m_url);
}

void WebView::clearSiteData()
{
    WebViewLoader::clearSiteData();
}

void WebView::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    if (!m_backend)
        createBrowser();
}

void WebView::createBrowser()
{
    WebViewFactory *factory = WebViewLoader::factory();
    if (!factory)
        return;
    // The script is set once, here; a later change of the flag would not reach this browser.
    const QString script = m_hidesWebsiteChrome ? websiteChromeHidingScript : QString();
    QPointer<WebView> self(this);
    m_backend = factory->createView(this, script, [self](const QUrl &address, const QUrl &fromPage) {
        if (self)
            Q_EMIT self->ownSchemeNavigation(address, fromPage);
    });
    WebViewLoader::browserCreated();
    // The engine makes its drawing widget when the first page commits.
    m_backend->widget()->installEventFilter(this);
    nameBrowser();
    m_layout->addWidget(m_backend->widget());
    clipBrowser();
    loadRequested(m_url);
}

bool WebView::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::ChildAdded) {
        QMetaObject::invokeMethod(this, &keepOffscreenWindowsFromScreenReaders, Qt::QueuedConnection);
        QMetaObject::invokeMethod(this, &WebView::nameBrowser, Qt::QueuedConnection);
    }
    return QWidget::eventFilter(watched, event);
}

// Tab stops on the browser before it enters the page: a screen reader says which page it is.
void WebView::nameBrowser()
{
    if (!m_backend)
        return;
    QWidget *browser = m_backend->widget();
    for (QWidget *stop : {browser, browser->focusProxy()}) {
        if (stop)
            stop->setAccessibleName(accessibleName());
    }
}

void WebView::setPageName(const QString &name)
{
    setAccessibleName(name);
    nameBrowser();
}

void WebView::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    clipBrowser();
}

// The browser is cut to the rounded frame so its corners do not cover the border.
void WebView::clipBrowser()
{
    if (!m_backend)
        return;
    const QSize area = size() - QSize(2, 2);
    QPainterPath shape;
    shape.addRoundedRect(QRectF(0, 0, area.width(), area.height()), cornerRadius - 1, cornerRadius - 1);
    m_backend->widget()->setMask(QRegion(shape.toFillPolygon().toPolygon()));
}

void WebView::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    RoundedPanel::paintFrame(painter, rect(), cornerRadius, UiPalette::softPanelColor(palette()),
                             UiPalette::lineColor(palette()));
}

void WebView::loadRequested(const QUrl &url)
{
    m_requestedURL = url;
    m_backend->load(url);
}
