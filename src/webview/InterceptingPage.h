#pragma once

#include "ui/WebViewBackend.h"

#include <QWebEnginePage>

// A page that hands navigations to the tool's own scheme to the tool instead of loading them.
class InterceptingPage : public QWebEnginePage
{
    Q_OBJECT

public:
    InterceptingPage(QWebEngineProfile *profile, QString scheme, WebViewFactory::InterceptHandler onIntercepted);

protected:
    bool acceptNavigationRequest(const QUrl &url, NavigationType type, bool isMainFrame) override;

private:
    QString m_scheme;
    WebViewFactory::InterceptHandler m_onIntercepted;
};
