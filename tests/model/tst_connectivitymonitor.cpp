#include "model/ConnectivityMonitor.h"

#include <QSignalSpy>
#include <QTest>

class tst_ConnectivityMonitor : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void satisfiedLevels_data();
    void satisfiedLevels();
    void firstReportComesFromTheEventLoop();
};

void tst_ConnectivityMonitor::satisfiedLevels_data()
{
    using Reachability = QNetworkInformation::Reachability;
    QTest::addColumn<Reachability>("reachability");
    QTest::addColumn<bool>("reported");
    QTest::addColumn<bool>("satisfied");
    QTest::newRow("online") << Reachability::Online << true << true;
    QTest::newRow("disconnected") << Reachability::Disconnected << true << false;
    QTest::newRow("local network only") << Reachability::Local << true << false;
    QTest::newRow("default route, probe failed") << Reachability::Site << true << true;
    QTest::newRow("unknown") << Reachability::Unknown << false << false;
}

void tst_ConnectivityMonitor::satisfiedLevels()
{
    QFETCH(QNetworkInformation::Reachability, reachability);
    QFETCH(bool, reported);
    QFETCH(bool, satisfied);
    ConnectivityMonitor monitor;
    QSignalSpy reports(&monitor, &ConnectivityMonitor::pathReported);
    monitor.reportReachability(reachability);
    QCOMPARE(reports.size(), reported ? 1 : 0);
    if (reported)
        QCOMPARE(reports.first().first().toBool(), satisfied);
}

// Whatever this machine's network looks like, some source reports it, and not from inside start().
void tst_ConnectivityMonitor::firstReportComesFromTheEventLoop()
{
    ConnectivityMonitor monitor;
    QSignalSpy reports(&monitor, &ConnectivityMonitor::pathReported);
    monitor.start();
    QCOMPARE(reports.size(), 0);
    QVERIFY(reports.wait(5000));
}

QTEST_GUILESS_MAIN(tst_ConnectivityMonitor)
#include "tst_connectivitymonitor.moc"
