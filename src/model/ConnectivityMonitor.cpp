#include "ConnectivityMonitor.h"

#include "platform/DefaultRouteWatcher.h"
#include "platform/DesktopIntegration.h"

#include <QTimer>

ConnectivityMonitor::ConnectivityMonitor(QObject *parent)
    : QObject(parent)
{
}

ConnectivityMonitor::~ConnectivityMonitor() = default;

// The platform's own backend first (SystemConfiguration on macOS, NetworkManager on Linux). Without
// NetworkManager, Qt 6.4 offers only its glib backend, which reads GLib's netlink monitor but
// listens for "notify::connectivity", a notice that monitor never sends (it announces
// "network-available"): it would report the start state for ever. The route watcher makes the same
// default-route test and follows it; glib stays the last resort for a start state at least.
void ConnectivityMonitor::start()
{
    m_started = true;
    if (DesktopIntegration::mayHaveNetworkBackend() && QNetworkInformation::loadDefaultBackend()) {
        followReachability();
        return;
    }
    auto *routes = new DefaultRouteWatcher(this);
    if (routes->start()) {
        m_routes = routes;
        connect(m_routes, &DefaultRouteWatcher::routesChanged, this, &ConnectivityMonitor::reportRoutes);
        QTimer::singleShot(0, this, &ConnectivityMonitor::reportRoutes);
        return;
    }
    delete routes;
    if (QNetworkInformation::loadBackendByName(QStringLiteral("glib")))
        followReachability();
}

// A satisfied path is one with a way out: Online, and Site, where a default route exists but the
// desktop's own connectivity probe failed (a proxy-only intranet, a captive portal); the vendor may
// still be reachable there, and a failing request says why. Local (no default route) and
// Disconnected are offline. Unknown (a backend that cannot tell) makes no report, so the flag keeps
// its last value, at first the optimistic start value.
std::optional<bool> ConnectivityMonitor::isSatisfied(QNetworkInformation::Reachability reachability)
{
    using Reachability = QNetworkInformation::Reachability;
    switch (reachability) {
    case Reachability::Online:
    case Reachability::Site:
        return true;
    case Reachability::Disconnected:
    case Reachability::Local:
        return false;
    case Reachability::Unknown:
        break;
    }
    return std::nullopt;
}

void ConnectivityMonitor::followReachability()
{
    QNetworkInformation *information = QNetworkInformation::instance();
    connect(information, &QNetworkInformation::reachabilityChanged, this,
            &ConnectivityMonitor::reportReachability);
    // Read when delivered, not now, so a change that overtakes it cannot be undone by a stale value.
    QTimer::singleShot(0, this, [this] { reportReachability(QNetworkInformation::instance()->reachability()); });
}

void ConnectivityMonitor::reportReachability(QNetworkInformation::Reachability reachability)
{
    if (const std::optional<bool> satisfied = isSatisfied(reachability))
        Q_EMIT pathReported(*satisfied);
}

void ConnectivityMonitor::reportRoutes()
{
    Q_EMIT pathReported(DefaultRouteWatcher::hasDefaultRoute());
}
