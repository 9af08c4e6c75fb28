#pragma once

#include <QByteArray>
#include <QObject>

class QSocketNotifier;

// Follows whether the host has a default route (IPv4 or IPv6), the test GLib's netlink monitor
// makes. Qt 6.4's glib reachability backend misses GLib's change notices, so on Linux the routing
// table is watched here directly. Works in any network namespace.
class DefaultRouteWatcher : public QObject
{
    Q_OBJECT

public:
    explicit DefaultRouteWatcher(QObject *parent = nullptr);
    ~DefaultRouteWatcher() override;

    // False where routes cannot be watched (no netlink or no /proc); nothing is reported then.
    bool start();

    // The current routing tables of this process's network namespace.
    static bool hasDefaultRoute();
    // Reads the kernel's text tables (/proc/net/route and /proc/net/ipv6_route).
    static bool hasDefaultRoute(const QByteArray &ipv4Table, const QByteArray &ipv6Table);

Q_SIGNALS:
    // A route, address or link changed; the default route may have come or gone.
    void routesChanged();

private:
    void drainNotices();

    int m_socket = -1;
    QSocketNotifier *m_notifier = nullptr;
};
