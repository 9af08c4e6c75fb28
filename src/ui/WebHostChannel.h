#pragma once

#include <QJsonObject>
#include <QObject>

class QLocalSocket;

// One end of the connection between the tool and the program that hosts its online pages: one JSON
// object a line, whose "op" names its kind. Both ends are made from an inherited socket pair, so
// nothing else can connect. A line is read into its kind here, once; the ends decide by the kind.
class WebHostChannel : public QObject
{
    Q_OBJECT

public:
    enum class Op {
        // The tool asks:
        Create,        // view, parent (the window to make it in), top (the tool's window), width, height, script
        Resize,        // view, width, height
        Load,          // view, url
        Focus,         // view, from ("first", "last" or "current"), name
        Close,         // view
        Blur,          // the tool has taken the keyboard back
        ClearSiteData,
        // The host tells:
        Window,        // view, id: the page's window, now in the parent
        Loaded,        // view, ok
        Intercepted,   // view, url, from
        Leave,         // view, forward: Tab went past the page's end
        TookFocus,     // view: a click gave the page the keyboard
        Key,           // view, key, modifiers: a key with Ctrl or Alt the page left alone
    };
    Q_ENUM(Op)

    // Takes the connected socket `descriptor`; false when it is no socket.
    bool open(qintptr descriptor);
    bool isOpen() const;
    // `fields` with the kind added.
    void send(Op op, QJsonObject fields = {});
    void close();

Q_SIGNALS:
    // Lines of no known kind are dropped: both ends are this program.
    void received(WebHostChannel::Op op, const QJsonObject &message);
    void closed();

private:
    void readLines();

    QLocalSocket *m_socket = nullptr;
};
