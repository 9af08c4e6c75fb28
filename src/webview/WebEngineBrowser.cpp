#include "WebEngineBrowser.h"

#include <QWebEnginePage>

WebEngineBrowser::WebEngineBrowser(QWebEnginePage *page, QWidget *parent)
    : QWebEngineView(parent)
{
    page->setParent(this);
    setPage(page);
    // The site's own menu has nothing for the tool's window.
    setContextMenuPolicy(Qt::NoContextMenu);
}

void WebEngineBrowser::load(const QUrl &url)
{
    QWebEngineView::load(url);
}
