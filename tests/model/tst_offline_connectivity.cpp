#include "ScratchHome.h"
#include "model/AuthToolModel.h"
#include "core/ToolPaths.h"

#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTest>

#include <unistd.h>

// Runs inside a fresh network namespace (CTest starts tst_offline_* suites through unshare -n): the
// machine is really offline here, and the suite adds and removes a default route of its own.
namespace {

constexpr int routeChangeTimeoutMs = 10000;

// The interfaces of this process's network namespace (/sys/class/net may still show the host's).
QStringList namespaceInterfaces()
{
    QFile file(QStringLiteral("/proc/net/dev"));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QStringList names;
    const QList<QByteArray> lines = file.readAll().split('\n');
    for (qsizetype i = 2; i < lines.size(); ++i) {
        const qsizetype colon = lines.at(i).indexOf(':');
        if (colon > 0)
            names << QString::fromLatin1(lines.at(i).left(colon).trimmed());
    }
    return names;
}

// Runs ip(8); returns its complaint, or an empty text on success.
QString ip(const QString &arguments)
{
    const QString program = QStandardPaths::findExecutable(QStringLiteral("ip"),
        {QStringLiteral("/usr/sbin"), QStringLiteral("/sbin"), QStringLiteral("/usr/bin"), QStringLiteral("/bin")});
    if (program.isEmpty())
        return QStringLiteral("ip(8) not found");
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(program, arguments.split(QLatin1Char(' ')));
    if (!process.waitForFinished(10000) || process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0)
        return QStringLiteral("ip %1: %2").arg(arguments, QString::fromLocal8Bit(process.readAll()));
    return {};
}

QString logContents()
{
    QFile file(ToolPaths::logFile());
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

} // namespace

class tst_OfflineConnectivity : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void cleanup();
    void gateOpenBeforeFirstReport();
    void refusesWhileOffline_data();
    void refusesWhileOffline();
    void followsRouteChangesWithoutAction();
};

void tst_OfflineConnectivity::initTestCase()
{
    if (::geteuid() != 0)
        QSKIP("an offline network namespace needs root (unshare -n); run the suite as root, as CI does");
    // Never touch the host's routes: refuse to run anywhere but a fresh namespace.
    QVERIFY2(namespaceInterfaces() == QStringList{QStringLiteral("lo")},
             qPrintable(QStringLiteral("not in a fresh network namespace (interfaces: %1); run it through "
                                       "unshare -n as CTest does")
                            .arg(namespaceInterfaces().join(QLatin1Char(' ')))));
}

void tst_OfflineConnectivity::cleanup()
{
    if (namespaceInterfaces().contains(QStringLiteral("v0")))
        QVERIFY2(ip(QStringLiteral("link del v0")).isEmpty(), "could not remove the test link");
}

void tst_OfflineConnectivity::gateOpenBeforeFirstReport()
{
    ScratchHome home;
    AuthToolModel model;
    QVERIFY(model.isOnline());
    QVERIFY(model.requireOnline(QStringLiteral("检查更新")));
    QCOMPARE(model.operationToken(), 0u);
    QVERIFY(!QFile::exists(ToolPaths::logFile()));
    // The first report does arrive, and says offline.
    QTRY_VERIFY(!model.isOnline());
}

void tst_OfflineConnectivity::refusesWhileOffline_data()
{
    QTest::addColumn<QString>("action");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("logLine");
    QTest::newRow("update check") << QStringLiteral("检查更新")
                                  << QStringLiteral("检查更新需要连接 Corvanta 服务，请联网后重试。")
                                  << QStringLiteral("检查更新已拦截：当前离线");
    QTest::newRow("online page") << QStringLiteral("打开在线页面")
                                 << QStringLiteral("打开在线页面需要连接 Corvanta 服务，请联网后重试。")
                                 << QStringLiteral("打开在线页面已拦截：当前离线");
}

void tst_OfflineConnectivity::refusesWhileOffline()
{
    QFETCH(QString, action);
    QFETCH(QString, message);
    QFETCH(QString, logLine);
    ScratchHome home;
    AuthToolModel model;
    QTRY_COMPARE(model.networkLabel(), QStringLiteral("离线"));
    QVERIFY(!model.isOnline());

    QVERIFY(!model.requireOnline(action));
    QCOMPARE(model.operationMessage(), message);
    QCOMPARE(model.operationTone(), OperationTone::Error);
    const QString contents = logContents();
    const QRegularExpression entry(QStringLiteral("^\\[\\d\\d:\\d\\d:\\d\\d\\] ")
                                   + QRegularExpression::escape(logLine) + QStringLiteral("\\n$"));
    QVERIFY2(entry.match(contents).hasMatch(), qPrintable(contents));
}

void tst_OfflineConnectivity::followsRouteChangesWithoutAction()
{
    ScratchHome home;
    AuthToolModel model;
    QTRY_COMPARE(model.networkLabel(), QStringLiteral("离线"));

    // A veth pair gives the namespace a route out; its traffic never leaves the namespace.
    for (const char *command : {"link add v0 type veth peer name v1", "link set v0 up", "link set v1 up",
                                "addr add 10.200.0.1/24 dev v0", "route add default via 10.200.0.2 dev v0"})
        QVERIFY2(ip(QString::fromLatin1(command)).isEmpty(), command);
    QTRY_COMPARE_WITH_TIMEOUT(model.networkLabel(), QStringLiteral("在线"), routeChangeTimeoutMs);
    QVERIFY(model.requireOnline(QStringLiteral("检查更新")));

    QVERIFY(ip(QStringLiteral("route del default")).isEmpty());
    QTRY_COMPARE_WITH_TIMEOUT(model.networkLabel(), QStringLiteral("离线"), routeChangeTimeoutMs);
    QVERIFY(!model.requireOnline(QStringLiteral("检查更新")));

    // A link that goes away takes its route along, without a route notice of its own.
    QVERIFY(ip(QStringLiteral("route add default via 10.200.0.2 dev v0")).isEmpty());
    QTRY_COMPARE_WITH_TIMEOUT(model.networkLabel(), QStringLiteral("在线"), routeChangeTimeoutMs);
    QVERIFY(ip(QStringLiteral("link del v0")).isEmpty());
    QTRY_COMPARE_WITH_TIMEOUT(model.networkLabel(), QStringLiteral("离线"), routeChangeTimeoutMs);
}

QTEST_GUILESS_MAIN(tst_OfflineConnectivity)
#include "tst_offline_connectivity.moc"
