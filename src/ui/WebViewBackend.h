#pragma once

// The embedded browser as a library supplies it. Qt only, so the library that implements it links
// no layer of the tool. Qt WebEngine's QWebEngineView on every platform (the library in src/webview
// is the only implementation, macOS included).

#include <QString>
#include <QUrl>
#include <QtPlugin>

#include <functional>

class QWidget;

// One browser view. Its widget belongs to the parent it was created with; deleting the widget
// deletes the view.
class WebViewBackend
{
public:
    virtual ~WebViewBackend() = default;
    virtual QWidget *widget() = 0;
    // Loads the address with the default cache policy; callers decide whether it changed.
    virtual void load(const QUrl &url) = 0;
};

class WebViewFactory
{
public:
    struct Settings
    {
        // Where the one persistent profile keeps cookies and site storage.
        QString storageDirectory;
        // Navigations to this scheme are reported and never loaded.
        QString interceptedScheme;
    };
    // (address of the intercepted scheme, address of the page that navigated there)
    using InterceptHandler = std::function<void(const QUrl &, const QUrl &)>;

    virtual ~WebViewFactory() = default;
    // Once, before the first view.
    virtual void configure(const Settings &settings) = 0;
    // documentEndScript, when not empty, runs at the end of every document load in the main frame.
    virtual WebViewBackend *createView(QWidget *parent, const QString &documentEndScript,
                                       InterceptHandler onIntercepted) = 0;
    // Forgets the site's cookies and visited links.
    virtual void clearSiteData() = 0;
    // With no view left: lets go of what the views shared (the engine's profile, and with it its
    // renderer processes); the next view starts it afresh from what is on disk.
    virtual void releaseIdle() = 0;
};

#define CorvantaWebViewFactory_iid "com.corvanta.wpsanalysis.manager.WebViewFactory/1"
Q_DECLARE_INTERFACE(WebViewFactory, CorvantaWebViewFactory_iid)
