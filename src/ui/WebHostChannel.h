#pragma once

#include <QJsonObject>
#include <QObject>

class QLocalSocket;

// One end of the connection between the tool and the program that hosts its online pages: one JSON
// object a line. Both ends are made from an inherited socket pair, so nothing else can connect.
class WebHostChannel : public QObject
{
    Q_OBJECT

public:
    // Takes the connected socket `descriptor`; false when it is no socket.
    bool open(qintptr descriptor);
    bool isOpen() const;
    void send(const QJsonObject &message);
    void close();

Q_SIGNALS:
    void received(const QJsonObject &message);
    void closed();

private:
    void readLines();

    QLocalSocket *m_socket = nullptr;
};

// The names of the messages, shared by both ends.
namespace WebHostMessage {
// The tool asks:
// view, parent (the window to make it in), top (the tool's window), width, height, script
inline constexpr char create[] = "create";
inline constexpr char resize[] = "resize";       // view, width, height
inline constexpr char load[] = "load";           // view, url
inline constexpr char focus[] = "focus";         // view, from ("first", "last" or "current"), name
inline constexpr char close[] = "close";         // view
inline constexpr char blur[] = "blur";           // the tool has taken the keyboard back
inline constexpr char clearSiteData[] = "clear";
// The host tells:
inline constexpr char window[] = "window";       // view, id: the page's window, now in the parent
inline constexpr char loaded[] = "loaded";       // view, ok
inline constexpr char intercepted[] = "intercepted"; // view, url, from
inline constexpr char leave[] = "leave";         // view, forward: Tab went past the page's end
inline constexpr char tookFocus[] = "tookFocus";  // view: a click gave the page the keyboard
inline constexpr char key[] = "key";             // view, key, modifiers: a key with Ctrl or Alt the page left alone
} // namespace WebHostMessage
