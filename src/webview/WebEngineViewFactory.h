#pragma once

#include "ui/WebViewBackend.h"

#include <QObject>

class QWebEngineProfile;

// The browser library's entry: Qt WebEngine views over one persistent profile.
class WebEngineViewFactory : public QObject, public WebViewFactory
{
    Q_OBJECT
    Q_PLUGIN_METADATA(IID CorvantaWebViewFactory_iid)
    Q_INTERFACES(WebViewFactory)

public:
    void configure(const Settings &settings) override;
    WebViewBackend *createView(QWidget *parent, const QString &documentEndScript,
                               InterceptHandler onIntercepted) override;
    void clearSiteData() override;
    void releaseIdle() override;

private:
    QWebEngineProfile *profile();

    Settings m_settings;
    QWebEngineProfile *m_profile = nullptr;
};
