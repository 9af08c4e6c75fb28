#include "InterceptingPage.h"

#include <QTimer>

InterceptingPage::InterceptingPage(QWebEngineProfile *profile, QString scheme,
                                   WebViewFactory::InterceptHandler onIntercepted)
    : QWebEnginePage(profile)
    , m_scheme(std::move(scheme))
    , m_onIntercepted(std::move(onIntercepted))
{
}

bool InterceptingPage::acceptNavigationRequest(const QUrl &url, NavigationType type, bool isMainFrame)
{
    if (m_scheme.isEmpty() || url.scheme().compare(m_scheme, Qt::CaseInsensitive) != 0)
        return QWebEnginePage::acceptNavigationRequest(url, type, isMainFrame);
    // Reported from the event loop: the handler may load another address, which the engine does not
    // take from inside this call.
    if (m_onIntercepted && isMainFrame) {
        QTimer::singleShot(0, this, [this, url, from = this->url()] { m_onIntercepted(url, from); });
    }
    return false;
}
