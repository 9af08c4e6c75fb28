#pragma once

#include "ui/WebViewBackend.h"

#include <QPointer>
#include <QWidget>

class RemoteWebViewFactory;

// A browser view whose page runs in the host program: the host makes the page's window inside this
// widget's own (native) window and keeps it the widget's size. The widget is the page's first Tab
// stop, as the engine's own view is; Tab and Backtab hand the keyboard to the page, and the host hands
// it back at the page's ends.
class RemoteBrowser : public QWidget, public WebViewBackend
{
    Q_OBJECT

public:
    RemoteBrowser(RemoteWebViewFactory *factory, int id, const QString &documentEndScript,
                  WebViewFactory::InterceptHandler onIntercepted, QWidget *parent);
    ~RemoteBrowser() override;

    QWidget *widget() override { return this; }
    void load(const QUrl &url) override;

    int id() const { return m_id; }
    // The host's window inside this one; 0 until the host has made it.
    quint32 hostWindow() const { return m_hostWindow; }
    // Asks the host for the page (again, when a new host replaces one that ended).
    void announce();
    void embedded(quint32 hostWindow);
    // Takes the host's window out of this one (before this one goes, or the host does).
    void releaseWindow();
    void forgetHostWindow() { m_hostWindow = 0; }
    void finishLoad(bool ok);
    void intercept(const QUrl &address, const QUrl &fromPage);
    void takeBackFocus(bool forward);
    void pageTookFocus();
    // A key the page left alone, as the tool's window would have taken it: its shortcuts.
    void runShortcut(const QKeySequence &sequence);

Q_SIGNALS:
    void loadFinished(bool ok);

protected:
    void focusInEvent(QFocusEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    void sendFocus(const char *from);
    void sendSize();

    QPointer<RemoteWebViewFactory> m_factory;
    int m_id;
    QString m_documentEndScript;
    WebViewFactory::InterceptHandler m_onIntercepted;
    QUrl m_url;
    quint32 m_hostWindow = 0;
    bool m_handingBack = false;
};
