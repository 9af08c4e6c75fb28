#include "core/Failure.h"
#include "core/ToolPaths.h"
#include "model/AuthToolModel.h"
#include "ModelDownload.h"

#include "ScratchHome.h"
#include "StandinService.h"
#include "TaskOutcome.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QScopeGuard>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>

#include <unistd.h>

namespace {

// Not a loopback address (Qt never asks a proxy for those), on the namespace's own loopback
// device: the stand-in listens there and the proxy reaches it.
const QString serviceAddress = QStringLiteral("10.203.0.1");

bool run(const QString &program, const QStringList &arguments)
{
    return QProcess::execute(program, arguments) == 0;
}

quint16 freePort()
{
    QTcpServer server;
    server.listen(QHostAddress::LocalHost);
    return server.serverPort();
}

// A real tinyproxy on 127.0.0.1 with a config and a log of its own, for as long as it lives.
class Tinyproxy
{
public:
    explicit Tinyproxy(bool basicAuth)
        : m_port(freePort())
    {
        QFile config(m_dir.filePath(QStringLiteral("tinyproxy.conf")));
        if (!config.open(QIODevice::WriteOnly))
            return;
        config.write(QStringLiteral("Port %1\nListen 127.0.0.1\nTimeout 60\nMaxClients 20\nLogLevel Info\n"
                                    "LogFile \"%2\"\n")
                         .arg(m_port)
                         .arg(logPath())
                         .toUtf8());
        if (basicAuth)
            config.write("BasicAuth corvanta hospital-secret\n");
        config.close();
        m_process.setProcessChannelMode(QProcess::ForwardedChannels);
        m_process.start(QStringLiteral("tinyproxy"), {QStringLiteral("-d"), QStringLiteral("-c"), config.fileName()});
        const QDeadlineTimer deadline(10000);
        while (!deadline.hasExpired() && m_process.state() != QProcess::NotRunning) {
            QTcpSocket probe;
            probe.connectToHost(QHostAddress::LocalHost, m_port);
            if (probe.waitForConnected(200)) {
                m_listening = true;
                return;
            }
            QTest::qWait(100);
        }
    }
    ~Tinyproxy()
    {
        m_process.terminate();
        if (!m_process.waitForFinished(5000))
            m_process.kill();
        m_process.waitForFinished(5000);
    }

    bool isListening() const { return m_listening; }
    QString url() const { return QStringLiteral("http://127.0.0.1:%1").arg(m_port); }
    QString logPath() const { return m_dir.filePath(QStringLiteral("tinyproxy.log")); }
    // The requests the proxy passed on: "METHOD URL" of its "Request (file descriptor N)" lines.
    QStringList requests() const
    {
        QFile log(logPath());
        if (!log.open(QIODevice::ReadOnly))
            return {};
        QStringList found;
        const QStringList lines = QString::fromUtf8(log.readAll()).split(QLatin1Char('\n'));
        for (const QString &line : lines) {
            const qsizetype at = line.indexOf(QLatin1String("): "));
            if (line.contains(QLatin1String("Request (file descriptor")) && at >= 0)
                found.append(line.mid(at + 3).section(QLatin1Char(' '), 0, 1));
        }
        return found;
    }

private:
    QTemporaryDir m_dir;
    quint16 m_port;
    QProcess m_process;
    bool m_listening = false;
};

} // namespace

class tst_Proxy : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void installThroughProxy_data();
    void installThroughProxy();
};

// The suite runs in a network namespace of its own (tests/in-namespaces.sh --offline), where it
// may bring up the loopback device and give it the service's address.
void tst_Proxy::initTestCase()
{
    if (::geteuid() != 0)
        QSKIP("needs root in a network namespace of its own (tests/in-namespaces.sh)");
    QProcess links;
    links.start(QStringLiteral("ip"), {"-o", "link", "show"});
    links.waitForFinished();
    const QStringList devices = QString::fromUtf8(links.readAllStandardOutput()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    if (devices.size() != 1 || devices.first().section(QStringLiteral(": "), 1, 1) != QLatin1String("lo"))
        QSKIP("not in a network namespace of its own: the machine's loopback is left alone");
    QVERIFY2(QFile::exists(QStringLiteral("/usr/bin/tinyproxy")), "tinyproxy (Debian package tinyproxy-bin)");
    QVERIFY(run(QStringLiteral("ip"), {"link", "set", "lo", "up"}));
    QVERIFY(run(QStringLiteral("ip"), {"addr", "replace", serviceAddress + QStringLiteral("/32"), "dev", "lo"}));
}

void tst_Proxy::installThroughProxy_data()
{
    QTest::addColumn<bool>("basicAuth");
    QTest::addColumn<QString>("noProxy");
    QTest::addColumn<QString>("message"); // empty: the package is cached
    QTest::addColumn<int>("proxied"); // requests in the proxy's log: release, token, archive

    QTest::newRow("through the proxy") << false << QString() << QString() << 3;
    // The proxy logs the release query, then answers it with 407.
    QTest::newRow("proxy asks for a password")
        << true << QString() << QStringLiteral("代理服务器要求身份验证，请在系统的网络代理设置中填写用户名和密码后重试。")
        << 1;
    QTest::newRow("service listed in no_proxy") << true << serviceAddress << QString() << 0;
}

// The tool is told of the proxy only through http_proxy, as a hospital's desktop does.
void tst_Proxy::installThroughProxy()
{
    QFETCH(bool, basicAuth);
    QFETCH(QString, noProxy);
    QFETCH(QString, message);
    QFETCH(int, proxied);
    Tinyproxy proxy(basicAuth);
    QVERIFY2(proxy.isListening(), "tinyproxy started");
    StandinService service({"--host", serviceAddress});
    QVERIFY2(service.isRunning(), qPrintable(service.errorOutput()));
    qputenv("http_proxy", proxy.url().toUtf8());
    qputenv("no_proxy", noProxy.toUtf8());
    const auto restore = qScopeGuard([] {
        qunsetenv("http_proxy");
        qunsetenv("no_proxy");
    });
    ScratchHome home;
    AuthToolModel model{ClientAuthAPI(service.baseUrl())};
    QCoro::waitFor(model.credentialStore().storeCredential(StandinService::validCredential));

    const TaskOutcome<CachedPluginPackage> outcome = awaitOutcome(downloadThrough(model));
    QCOMPARE(outcome.description(), message);
    const QStringList passed = proxy.requests();
    qInfo() << "the proxy passed on:" << passed;
    const QString base = service.baseUrl().toString();
    const QStringList expected{
        QStringLiteral("GET ") + base + QStringLiteral("/api/client/software/vev-urir-odaderid/releases/latest?platform=macos&channel=stable"),
        QStringLiteral("POST ") + base + QStringLiteral("/api/client/software/vev-urir-odaderid/download-token"),
    };
    QCOMPARE(passed.size(), proxied);
    QCOMPARE(passed.mid(0, 2), expected.mid(0, proxied));
    if (proxied == 3)
        QVERIFY2(passed.at(2).startsWith(QStringLiteral("GET ") + base + QStringLiteral("/downloads/")), qPrintable(passed.at(2)));
    if (!message.isEmpty())
        QCOMPARE(outcome.kind(), FailureKind::ProxyAuthenticationRequired);
    // Without the proxy's password nothing reached the service.
    QCOMPARE(service.requests().isEmpty(), !message.isEmpty());
}

QTEST_GUILESS_MAIN(tst_Proxy)
#include "tst_proxy.moc"
