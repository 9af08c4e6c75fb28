#include "WebEngineViewFactory.h"

#include "InterceptingPage.h"
#include "WebEngineBrowser.h"

#include <QQuickWindow>
#include <QWebEngineCookieStore>
#include <QWebEngineProfile>
#include <QWebEngineScript>
#include <QWebEngineScriptCollection>
#include <QWebEngineSettings>
#include <QWebEngineUrlRequestJob>
#include <QWebEngineUrlScheme>
#include <QWebEngineUrlSchemeHandler>

namespace {

// Pages navigating to the tool's own scheme are stopped by InterceptingPage; should a request still
// get through (a subresource, say), it is refused here rather than left to the desktop.
class RefusingSchemeHandler : public QWebEngineUrlSchemeHandler
{
public:
    using QWebEngineUrlSchemeHandler::QWebEngineUrlSchemeHandler;
    void requestStarted(QWebEngineUrlRequestJob *job) override { job->fail(QWebEngineUrlRequestJob::RequestDenied); }
};

} // namespace

void WebEngineViewFactory::configure(const Settings &settings)
{
    m_settings = settings;
    // Before the first view: the tool's window stays a raster window (see the loader).
    QQuickWindow::setGraphicsApi(QSGRendererInterface::Software);
    // Known schemes must be registered before the engine starts, which is the first profile.
    if (!m_settings.interceptedScheme.isEmpty() && !m_profile) {
        QWebEngineUrlScheme scheme(m_settings.interceptedScheme.toLatin1());
        scheme.setSyntax(QWebEngineUrlScheme::Syntax::Path);
        QWebEngineUrlScheme::registerScheme(scheme);
    }
}

QWebEngineProfile *WebEngineViewFactory::profile()
{
    if (m_profile)
        return m_profile;
    m_profile = new QWebEngineProfile(QStringLiteral("CorvantaSite"), this);
    m_profile->setPersistentStoragePath(m_settings.storageDirectory);
    m_profile->setCachePath(m_settings.storageDirectory + QStringLiteral("/cache"));
    // Pages stay in memory only: a page that hands a credential to the tool never reaches the disk.
    m_profile->setHttpCacheType(QWebEngineProfile::MemoryHttpCache);
    m_profile->setPersistentCookiesPolicy(QWebEngineProfile::AllowPersistentCookies);
    if (!m_settings.interceptedScheme.isEmpty())
        m_profile->installUrlSchemeHandler(m_settings.interceptedScheme.toLatin1(), new RefusingSchemeHandler(m_profile));
    return m_profile;
}

WebViewBackend *WebEngineViewFactory::createView(QWidget *parent, const QString &documentEndScript,
                                                 InterceptHandler onIntercepted)
{
    auto *page = new InterceptingPage(profile(), m_settings.interceptedScheme, std::move(onIntercepted));
    // A page that loads leaves the keyboard focus where the user put it (the page's tab, say).
    page->settings()->setAttribute(QWebEngineSettings::FocusOnNavigationEnabled, false);
    if (!documentEndScript.isEmpty()) {
        QWebEngineScript script;
        script.setName(QStringLiteral("corvanta-document-end"));
        script.setSourceCode(documentEndScript);
        script.setInjectionPoint(QWebEngineScript::DocumentReady);
        script.setRunsOnSubFrames(false);
        script.setWorldId(QWebEngineScript::MainWorld);
        page->scripts().insert(script);
    }
    return new WebEngineBrowser(page, parent);
}

void WebEngineViewFactory::releaseIdle()
{
    // Cookies and site storage are on disk; the in-memory HTTP cache is the only thing lost.
    delete m_profile;
    m_profile = nullptr;
}

void WebEngineViewFactory::clearSiteData()
{
    QWebEngineProfile *site = profile();
    // The HTTP cache lives in memory only; clearing it would also cancel the load that follows.
    site->cookieStore()->deleteAllCookies();
    site->clearAllVisitedLinks();
}
