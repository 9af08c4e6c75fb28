#pragma once

#include <QUrl>
#include <QWidget>

class QVBoxLayout;
class WebViewBackend;

// Hides the site's own header and footer inside the tool's window.
extern const QString websiteChromeHidingScript;

// The embedded browser of the online pages. The browser itself comes from a library loaded the first
// time a WebView is shown, and is made then, with the address it is to show. Afterwards it loads an
// address only when the address changes, so rebuilding a page never reloads it. Failed loads leave
// whatever the browser shows; nothing reaches the user.
class WebView : public QWidget
{
    Q_OBJECT

public:
    WebView(const QUrl &url, bool hidesWebsiteChrome, QWidget *parent = nullptr);
    ~WebView() override;

    QUrl url() const { return m_url; }
    void setUrl(const QUrl &url);
    // The address last handed to the browser; empty before it exists.
    QUrl requestedURL() const { return m_requestedURL; }
    // The browser's widget once shown (and its library loaded); null before or without it.
    QWidget *browser() const;
    // Loads the current address again, as after the site handed the tool an account change.
    void reload();
    // What a screen reader calls the browser (its first Tab stop, before the page's own).
    void setPageName(const QString &name);
    // Forgets the site's cookies and visited links (signing out).
    static void clearSiteData();

Q_SIGNALS:
    // A page navigated to an address of the tool's own scheme; it was not loaded.
    void ownSchemeNavigation(const QUrl &address, const QUrl &fromPage);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void paintEvent(QPaintEvent *event) override;

private:
    void createBrowser();
    void loadRequested(const QUrl &url);
    void clipBrowser();
    void nameBrowser();

    QUrl m_url;
    bool m_hidesWebsiteChrome;
    QUrl m_requestedURL;
    WebViewBackend *m_backend = nullptr;
    QVBoxLayout *m_layout = nullptr;
};
