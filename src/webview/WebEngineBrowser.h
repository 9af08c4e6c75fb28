#pragma once

#include "ui/WebViewBackend.h"

#include <QWebEngineView>

// One QWebEngineView with its page; the widget is the view.
class WebEngineBrowser : public QWebEngineView, public WebViewBackend
{
    Q_OBJECT

public:
    WebEngineBrowser(QWebEnginePage *page, QWidget *parent);

    QWidget *widget() override { return this; }
    void load(const QUrl &url) override;
};
