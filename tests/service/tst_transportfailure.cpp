#include "ScriptedHttpServer.h"
#include "TaskOutcome.h"

#include "core/Failure.h"
#include "service/ClientAuthAPI.h"
#include "service/ServiceNetwork.h"
#include "service/TransportFailure.h"

#include <QNetworkReply>
#include <QProcess>
#include <QSslKey>
#include <QSslServer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <chrono>
#include <memory>

using namespace std::chrono_literals;

namespace {

// A loopback TLS server with a certificate made on the spot, which no client trusts.
class SelfSignedServer
{
public:
    SelfSignedServer()
    {
        const QString cert = m_dir.filePath(QStringLiteral("cert.pem"));
        const QString key = m_dir.filePath(QStringLiteral("key.pem"));
        QProcess openssl;
        openssl.start(QStringLiteral("openssl"),
                      {QStringLiteral("req"), QStringLiteral("-x509"), QStringLiteral("-newkey"), QStringLiteral("ec"),
                       QStringLiteral("-pkeyopt"), QStringLiteral("ec_paramgen_curve:prime256v1"), QStringLiteral("-nodes"),
                       QStringLiteral("-keyout"), key, QStringLiteral("-out"), cert, QStringLiteral("-days"),
                       QStringLiteral("1"), QStringLiteral("-subj"), QStringLiteral("/CN=127.0.0.1")});
        if (!openssl.waitForFinished(30000) || openssl.exitCode() != 0)
            return;
        QSslConfiguration configuration = QSslConfiguration::defaultConfiguration();
        QFile certFile(cert), keyFile(key);
        if (!certFile.open(QIODevice::ReadOnly) || !keyFile.open(QIODevice::ReadOnly))
            return;
        configuration.setLocalCertificate(QSslCertificate(&certFile, QSsl::Pem));
        configuration.setPrivateKey(QSslKey(&keyFile, QSsl::Ec, QSsl::Pem));
        m_server.setSslConfiguration(configuration);
        m_server.listen(QHostAddress::LocalHost, 0);
    }

    bool isListening() const { return m_server.isListening(); }
    QUrl url() const { return QUrl(QStringLiteral("https://127.0.0.1:%1").arg(m_server.serverPort())); }

private:
    QTemporaryDir m_dir;
    QSslServer m_server;
};

// A server that accepts and at once closes every connection.
class HangingUpServer
{
public:
    HangingUpServer()
    {
        QObject::connect(&m_server, &QTcpServer::newConnection, &m_server, [this] {
            while (QTcpSocket *socket = m_server.nextPendingConnection()) {
                QObject::connect(socket, &QTcpSocket::readyRead, socket, [socket] {
                    socket->abort();
                    socket->deleteLater();
                });
            }
        });
        m_server.listen(QHostAddress::LocalHost, 0);
    }
    QUrl url() const { return QUrl(QStringLiteral("http://127.0.0.1:%1").arg(m_server.serverPort())); }

private:
    QTcpServer m_server;
};

QUrl refusingUrl()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    const quint16 port = probe.serverPort();
    probe.close();
    return QUrl(QStringLiteral("http://127.0.0.1:%1").arg(port));
}

TaskOutcome<APIEnvelope> fetch(const QUrl &base)
{
    return awaitOutcome(ClientAuthAPI(base).get(QStringLiteral("/api/x")));
}

bool inNetworkNamespace()
{
    return qEnvironmentVariableIsSet("CORVANTA_IN_NETWORK_NAMESPACE");
}

// Runs one test function (or "function:row") of this suite again in a fresh network namespace, with
// the loopback link up when asked; the namespace has no other link and no route.
void rerunInNetworkNamespace(const QString &test, bool loopbackUp)
{
    QProcess child;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("CORVANTA_IN_NETWORK_NAMESPACE"), QStringLiteral("1"));
    child.setProcessEnvironment(environment);
    child.setProcessChannelMode(QProcess::MergedChannels);
    const QString suite = QCoreApplication::applicationFilePath();
    QStringList arguments{QStringLiteral("-n")};
    if (loopbackUp)
        arguments << QStringLiteral("sh") << QStringLiteral("-c")
                  << QStringLiteral("ip link set lo up && exec \"$0\" \"$1\"") << suite << test;
    else
        arguments << suite << test;
    child.start(QStringLiteral("unshare"), arguments);
    QVERIFY(child.waitForFinished(30000));
    const QByteArray output = child.readAll();
    if (output.contains("unshare failed"))
        QSKIP("no permission to create a network namespace here");
    QVERIFY2(child.exitCode() == 0, output.constData());
    // "function:row" is reported as "function(row)".
    QString passed = QStringLiteral("PASS   : tst_TransportFailure::") + test;
    if (passed.contains(u':' , Qt::CaseSensitive) && test.contains(u':'))
        passed = passed.left(passed.lastIndexOf(u':')) + u'(' + test.section(u':', 1) + u')';
    else
        passed += QStringLiteral("()");
    QVERIFY2(output.contains(passed.toUtf8()), output.constData());
}

} // namespace

class tst_TransportFailure : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void failedRequests_data();
    void failedRequests();
    void cancelledRequestIsNoNetworkError();
    void tlsFailureIsNoNetworkError();
    void httpStatusErrorIsNoNetworkError();
    void otherErrors_data();
    void otherErrors();
    void offlineNamespaceIsNotConnected();
};

void tst_TransportFailure::failedRequests_data()
{
    QTest::addColumn<QString>("scenario");
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("description");
    QTest::addColumn<FailureKind>("kind");
    const FailureKind unreachable = FailureKind::ServiceUnreachable;
    QTest::newRow("refused") << QStringLiteral("refused") << -1004 << QStringLiteral("未能连接到服务器。") << unreachable;
    QTest::newRow("unknown host") << QStringLiteral("unknown host") << -1003 << QStringLiteral("未能找到使用指定主机名的服务器。")
                                  << unreachable;
    QTest::newRow("timed out") << QStringLiteral("silent") << -1001 << QStringLiteral("请求超时。") << FailureKind::Timeout;
    QTest::newRow("connection lost") << QStringLiteral("hang up") << -1005 << QStringLiteral("网络连接已中断。") << unreachable;
}

void tst_TransportFailure::failedRequests()
{
    QFETCH(QString, scenario);
    QFETCH(int, code);
    QFETCH(QString, description);
    QFETCH(FailureKind, kind);

    ServiceNetwork::setTransferTimeout(300ms);
    const auto restore = qScopeGuard([] { ServiceNetwork::setTransferTimeout(ServiceNetwork::defaultTransferTimeout); });
    ScriptedHttpServer silent;
    silent.setReply(ScriptedHttpServer::Reply{.body = {}, .contentType = {}, .silent = true});
    HangingUpServer hangingUp;

    // A name lookup would reach the machine's DNS server: it runs where no route leads anywhere.
    if (scenario == QLatin1String("unknown host") && !inNetworkNamespace()) {
        rerunInNetworkNamespace(QStringLiteral("failedRequests:unknown host"), true);
        return;
    }

    TaskOutcome<APIEnvelope> outcome;
    if (scenario == QLatin1String("refused"))
        outcome = fetch(refusingUrl());
    else if (scenario == QLatin1String("unknown host"))
        outcome = fetch(QUrl(QStringLiteral("http://corvanta-standin.invalid")));
    else if (scenario == QLatin1String("silent"))
        outcome = fetch(silent.baseUrl());
    else
        outcome = fetch(hangingUp.url());

    const auto error = outcome.error<Failure>();
    QVERIFY(error);
    QCOMPARE(error->kind(), kind);
    QCOMPARE(error->details().urlCode, code);
    QCOMPARE(error->sentence(), description);
    QVERIFY(isNetworkError(*error));
}

void tst_TransportFailure::cancelledRequestIsNoNetworkError()
{
    ScriptedHttpServer silent;
    silent.setReply(ScriptedHttpServer::Reply{.body = {}, .contentType = {}, .silent = true});
    QTimer::singleShot(100ms, [] {
        const auto replies = ServiceNetwork::manager().findChildren<QNetworkReply *>();
        for (QNetworkReply *reply : replies)
            reply->abort();
    });
    const auto error = fetch(silent.baseUrl()).error<Failure>();
    QVERIFY(error);
    QCOMPARE(error->kind(), FailureKind::Cancelled);
    QCOMPARE(error->details().urlCode, -999);
    QCOMPARE(error->sentence(), QStringLiteral("已取消。"));
    QVERIFY(isCancellation(*error));
    QVERIFY(!isNetworkError(*error));
}

void tst_TransportFailure::tlsFailureIsNoNetworkError()
{
    SelfSignedServer server;
    QVERIFY2(server.isListening(), "openssl could not make a certificate");
    const auto error = fetch(server.url()).error<Failure>();
    QVERIFY(error);
    QCOMPARE(error->kind(), FailureKind::SecureConnection);
    QCOMPARE(error->details().urlCode, -1202);
    QCOMPARE(error->sentence(),
             QStringLiteral("此服务器的证书无效。您可能正在连接到一个假冒“127.0.0.1”的服务器，这会威胁到您的机密信息的安全。"));
    QVERIFY(!isNetworkError(*error));
}

void tst_TransportFailure::httpStatusErrorIsNoNetworkError()
{
    ScriptedHttpServer server;
    server.setReply({503, {}});
    const auto outcome = fetch(server.baseUrl());
    QCOMPARE(outcome.kind(), FailureKind::ServiceRefused);
    QVERIFY(!isNetworkError(*outcome.error<Failure>()));
}

void tst_TransportFailure::otherErrors_data()
{
    QTest::addColumn<std::shared_ptr<std::exception>>("error");
    QTest::addColumn<bool>("network");
    using P = std::shared_ptr<std::exception>;
    const auto transport = [](int code) { return P(new Failure(TransportFailure::fromCode(code))); };
    QTest::newRow("-1009") << transport(-1009) << true;
    QTest::newRow("-1006") << transport(-1006) << true;
    QTest::newRow("-1018") << transport(-1018) << true;
    QTest::newRow("-1011") << transport(-1011) << false;
    QTest::newRow("-1000 bad url") << transport(-1000) << false;
    QTest::newRow("-1200 tls") << transport(-1200) << false;
    QTest::newRow("-999 cancelled") << transport(-999) << false;
    QTest::newRow("service refusal") << P(new Failure(FailureKind::ServiceRefused)) << false;
    QTest::newRow("standard error") << P(new std::runtime_error("x")) << false;
}

void tst_TransportFailure::otherErrors()
{
    QFETCH(std::shared_ptr<std::exception>, error);
    QFETCH(bool, network);
    QCOMPARE(isNetworkError(*error), network);
}

// Inside a fresh network namespace even the loopback link is down, as on a Mac without any network:
// the suite runs this function again in such a namespace.
void tst_TransportFailure::offlineNamespaceIsNotConnected()
{
    if (!inNetworkNamespace()) {
        rerunInNetworkNamespace(QStringLiteral("offlineNamespaceIsNotConnected"), false);
        return;
    }
    const auto error = fetch(QUrl(QStringLiteral("http://127.0.0.1:18741"))).error<Failure>();
    QVERIFY(error);
    QCOMPARE(error->kind(), FailureKind::Offline);
    QCOMPARE(error->details().urlCode, -1009);
    QCOMPARE(error->sentence(), QStringLiteral("似乎已断开与互联网的连接。"));
    QVERIFY(isNetworkError(*error));
}

QTEST_GUILESS_MAIN(tst_TransportFailure)
#include "tst_transportfailure.moc"
