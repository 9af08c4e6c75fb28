#include "platform/DefaultRouteWatcher.h"

#include <QTest>

namespace {

const QByteArray ipv4Header =
    "Iface\tDestination\tGateway \tFlags\tRefCnt\tUse\tMetric\tMask\t\tMTU\tWindow\tIRTT\n";

QByteArray ipv6Line(const char *destination, const char *prefix, const char *flags, const char *device)
{
    return QByteArray(destination) + ' ' + prefix + " 00000000000000000000000000000000 00 "
        + "fd000000000000000000000000000001 00000400 00000001 00000000 " + flags + "     " + device + '\n';
}

const char *zero6 = "00000000000000000000000000000000";

} // namespace

class tst_DefaultRouteWatcher : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void hasDefaultRoute_data();
    void hasDefaultRoute();
};

void tst_DefaultRouteWatcher::hasDefaultRoute_data()
{
    QTest::addColumn<QByteArray>("ipv4");
    QTest::addColumn<QByteArray>("ipv6");
    QTest::addColumn<bool>("expected");

    const QByteArray v4Default = "v0\t00000000\t0200C80A\t0003\t0\t0\t0\t00000000\t0\t0\t0\n";
    const QByteArray v4Subnet = "v0\t0000C80A\t00000000\t0001\t0\t0\t0\t00FFFFFF\t0\t0\t0\n";
    const QByteArray v4DefaultDown = "v0\t00000000\t0200C80A\t0002\t0\t0\t0\t00000000\t0\t0\t0\n";
    // A route to 0.0.0.0/8 is not a default route.
    const QByteArray v4ZeroNet = "v0\t00000000\t00000000\t0001\t0\t0\t0\t000000FF\t0\t0\t0\n";
    const QByteArray v6Unreachable = ipv6Line(zero6, "00", "00200200", "lo");
    const QByteArray v6LinkLocal = ipv6Line("fe800000000000000000000000000000", "40", "00000001", "v0");

    QTest::newRow("nothing readable") << QByteArray() << QByteArray() << false;
    QTest::newRow("fresh namespace") << ipv4Header << v6Unreachable + v6Unreachable << false;
    QTest::newRow("subnet only") << ipv4Header + v4Subnet << v6LinkLocal << false;
    QTest::newRow("ipv4 default") << ipv4Header + v4Subnet + v4Default << v6Unreachable << true;
    QTest::newRow("ipv4 default not up") << ipv4Header + v4DefaultDown << QByteArray() << false;
    QTest::newRow("ipv4 zero network") << ipv4Header + v4ZeroNet << QByteArray() << false;
    // The header line names the columns; it never counts as a route.
    QTest::newRow("header only") << ipv4Header << QByteArray() << false;
    QTest::newRow("ipv6 default") << ipv4Header << v6LinkLocal + ipv6Line(zero6, "00", "00000003", "eth0") << true;
    QTest::newRow("ipv6 unreachable default") << ipv4Header << v6Unreachable << false;
    QTest::newRow("ipv6 rejecting default") << ipv4Header << ipv6Line(zero6, "00", "00000201", "lo") << false;
}

void tst_DefaultRouteWatcher::hasDefaultRoute()
{
    QFETCH(QByteArray, ipv4);
    QFETCH(QByteArray, ipv6);
    QFETCH(bool, expected);
    QCOMPARE(DefaultRouteWatcher::hasDefaultRoute(ipv4, ipv6), expected);
}

QTEST_GUILESS_MAIN(tst_DefaultRouteWatcher)
#include "tst_defaultroutewatcher.moc"
