#pragma once

#include <QNetworkInformation>
#include <QObject>

#include <optional>

class DefaultRouteWatcher;

// Watches the system's network path for the model. Reports arrive on the GUI thread in the order
// they were made, the first one from the event loop right after start(), so the creator keeps its
// start value until then.
class ConnectivityMonitor : public QObject
{
    Q_OBJECT

public:
    explicit ConnectivityMonitor(QObject *parent = nullptr);
    ~ConnectivityMonitor() override;

    // Picks the source and reports from then on; never stopped, lives as long as its parent.
    void start();
    bool isStarted() const { return m_started; }

    // The handler of the platform backend's reachability notices: reports whether the level is a
    // path on which the vendor service can be reached, and nothing for a level that says nothing.
    void reportReachability(QNetworkInformation::Reachability reachability);

Q_SIGNALS:
    // Every report, also one that repeats the previous state.
    void pathReported(bool satisfied);

private:
    static std::optional<bool> isSatisfied(QNetworkInformation::Reachability reachability);
    void followReachability();
    void reportRoutes();

    DefaultRouteWatcher *m_routes = nullptr;
    bool m_started = false;
};
