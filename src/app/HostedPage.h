#pragma once

#include "ui/WebHostChannel.h"
#include "ui/WebViewBackend.h"

#include <QJsonObject>
#include <QWidget>

#include <functional>

// One online page in the pages' host program: a window made inside the tool's view (another
// program's window), holding the engine's view. Tab past the page's ends and clicks while the page
// lacks the keyboard are told to the tool, which owns the keyboard's way between its widgets.
class HostedPage : public QWidget
{
    Q_OBJECT

public:
    using Send = std::function<void(WebHostChannel::Op, const QJsonObject &)>;
    struct Windows
    {
        // The tool's window this page's is made in, and the tool's top-level window.
        quint32 parent;
        quint32 top;
    };
    HostedPage(WebViewFactory *factory, int id, Windows toolWindows, QSize size, const QString &documentEndScript,
               Send send);
    ~HostedPage() override;

    void load(const QUrl &url);
    // from: "first", "last" or "current"; name: what a screen reader calls the page.
    void takeFocus(const QString &from, const QString &name);
    // The tool has taken the keyboard back.
    void loseKeyboard();

protected:
    bool focusNextPrevChild(bool next) override;
    void keyPressEvent(QKeyEvent *event) override;
    bool event(QEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private Q_SLOTS:
    void reportLoad(bool ok);

private:
    void applyFocus();
    void setHasKeyboard(bool has);
    // Sends `fields` about this page.
    void tell(WebHostChannel::Op op, QJsonObject fields = {}) const;

    int m_id;
    Send m_send;
    WebViewBackend *m_view = nullptr;
    QWindow *m_parentWindow = nullptr;
    quint32 m_toolWindow = 0;
    QString m_pendingFocus;
    bool m_hasKeyboard = false;
};
