#pragma once

#include "ui/WebHostChannel.h"
#include "ui/WebViewBackend.h"

#include <QHash>
#include <QJsonObject>
#include <QList>
#include <QObject>
#include <QPointer>

class QProcess;
class RemoteBrowser;

// The online pages in a program of their own, the tool's executable started as a page host, whose
// windows are embedded in the tool's window (X11). When the last page has gone for the idle delay
// the host ends, and with it the engine and its helper processes: an engine started in the tool's
// own process keeps its sandbox's zygote, and most of its memory, for the process's life.
class RemoteWebViewFactory : public QObject, public WebViewFactory
{
    Q_OBJECT
    Q_INTERFACES(WebViewFactory)

public:
    explicit RemoteWebViewFactory(QObject *parent = nullptr);
    ~RemoteWebViewFactory() override;

    // Under X11 only: no other window system embeds another program's window. And not while an
    // assistive technology listens: the page's content would be another application's, outside
    // the tool's window, to a screen reader.
    static bool suitsThisSession();
    // Started with this argument, the tool serves pages instead (see WebPageHost).
    static const char *hostArgument();

    void configure(const Settings &settings) override;
    WebViewBackend *createView(QWidget *parent, const QString &documentEndScript,
                               InterceptHandler onIntercepted) override;
    // Through the running host; without one, there is no engine to ask (see WebViewLoader).
    void clearSiteData() override;
    void releaseIdle() override;

    // For the views.
    void send(WebHostChannel::Op op, const QJsonObject &fields = {});
    void viewDestroyed(int id);
    // Whether a page has the keyboard: the next click in one of the tool's windows takes it back.
    void setPageHasKeyboard(bool has) { m_pageHasKeyboard = has; }
    // The tool's `window` takes the keyboard back from the page that has it.
    void takeKeyboardBack(QWidget *window);
    bool isHostRunning() const;
    // The host program that is running, if any (the benchmarks count its memory).
    qint64 hostProcessId() const;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    enum class HostStop { InBackground, Wait };
    void startHost();
    void stopHost(HostStop how);
    void dispatch(WebHostChannel::Op op, const QJsonObject &message);
    void hostEnded();

    QProcess *m_host = nullptr;
    WebHostChannel *m_channel = nullptr;
    QHash<int, QPointer<RemoteBrowser>> m_views;
    int m_nextId = 1;
    bool m_pageHasKeyboard = false;
    int m_failedHosts = 0;
};
