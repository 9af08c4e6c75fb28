#include "ScriptedHttpServer.h"
#include "TaskOutcome.h"

#include "core/Failure.h"
#include "service/ClientAuthAPI.h"

#include <QJsonDocument>
#include <QTest>

using Kind = FailureKind;

class tst_ClientAuthAPI : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void refusals_data();
    void refusals();
    void successBodies_data();
    void successBodies();
    void getKeepsThePathAsGiven();
    void postPathWithoutSlashIsOneComponent();
    void urlEncode_data();
    void urlEncode();
    void latestReleaseQuery();
    void releaseWithoutData_data();
    void releaseWithoutData();
    void downloadTokenRequest_data();
    void downloadTokenRequest();
    void webURL_data();
    void webURL();
    void appVersionOutsideBundle();
};

void tst_ClientAuthAPI::refusals_data()
{
    QTest::addColumn<int>("status");
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<Kind>("kind");
    QTest::addColumn<QString>("message");

    const QString expiredSignIn = QStringLiteral("登录状态已过期，请重新登录后再试。");
    const QString unavailable = QStringLiteral("授权服务暂时不可用，请稍后重试；如果问题持续出现，请重新登录后再试。");
    QTest::newRow("401 with message") << 401 << QByteArray(R"({"message":"账号已在别处登录。"})") << Kind::CredentialRefused
                                      << QStringLiteral("账号已在别处登录。");
    QTest::newRow("401 with empty message") << 401 << QByteArray(R"({"message":""})") << Kind::CredentialRefused
                                            << QStringLiteral("本机保存的登录凭证已失效，请重新登录。");
    QTest::newRow("401 without body") << 401 << QByteArray() << Kind::CredentialRefused
                                      << QStringLiteral("本机保存的登录凭证已失效，请重新登录。");
    QTest::newRow("401 with reason") << 401 << QByteArray(R"({"reason":"banned","message":"m"})") << Kind::CredentialRefused
                                     << QStringLiteral("m");
    QTest::newRow("refresh_token_invalid under data")
        << 400 << QByteArray(R"({"message":"服务器说明","data":{"reason":"refresh_token_invalid"}})") << Kind::SignInExpired
        << QStringLiteral("刷新凭证无效或过期，请重新登录。");
    QTest::newRow("refresh_token_invalid at top level on 500")
        << 500 << QByteArray(R"({"reason":"refresh_token_invalid"})") << Kind::SignInExpired
        << QStringLiteral("刷新凭证无效或过期，请重新登录。");
    QTest::newRow("reason under data beats top level and message")
        << 400 << QByteArray(R"({"reason":"top","message":"服务器说明","data":{"reason":"quota_exceeded"}})") << Kind::ServiceRefused
        << QStringLiteral("授权失败：quota_exceeded");
    QTest::newRow("top-level reason when data has none")
        << 400 << QByteArray(R"({"reason":"top","data":{"other":1}})") << Kind::ServiceRefused << QStringLiteral("授权失败：top");
    QTest::newRow("numeric reason") << 409 << QByteArray(R"({"reason":42})") << Kind::ServiceRefused << QStringLiteral("授权失败：42");
    QTest::newRow("server message") << 400 << QByteArray(R"({"message":"设备数量已达上限。"})") << Kind::ServiceRefused
                                    << QStringLiteral("设备数量已达上限。");
    QTest::newRow("empty server message") << 404 << QByteArray(R"({"message":""})") << Kind::ServiceRefused
                                          << QStringLiteral("未找到授权服务，请确认当前管理工具版本或授权接口环境。");
    QTest::newRow("403 without body") << 403 << QByteArray() << Kind::ServiceRefused << expiredSignIn;
    QTest::newRow("403 with html") << 403 << QByteArray("<html>forbidden</html>") << Kind::ServiceRefused << expiredSignIn;
    QTest::newRow("404 without body") << 404 << QByteArray() << Kind::ServiceRefused
                                      << QStringLiteral("未找到授权服务，请确认当前管理工具版本或授权接口环境。");
    QTest::newRow("502 without body") << 502 << QByteArray() << Kind::ServiceRefused << unavailable;
    QTest::newRow("599 without body") << 599 << QByteArray() << Kind::ServiceRefused << unavailable;
    QTest::newRow("499 without body") << 499 << QByteArray() << Kind::ServiceRefused << QStringLiteral("授权服务返回异常：HTTP 499");
    QTest::newRow("array body") << 502 << QByteArray(R"([{"reason":"x"}])") << Kind::ServiceRefused
                                << unavailable;
    QTest::newRow("600") << 600 << QByteArray() << Kind::ServiceRefused << QStringLiteral("授权服务返回异常：HTTP 600");
    QTest::newRow("418") << 418 << QByteArray() << Kind::ServiceRefused << QStringLiteral("授权服务返回异常：HTTP 418");
}

void tst_ClientAuthAPI::refusals()
{
    QFETCH(int, status);
    QFETCH(QByteArray, body);
    QFETCH(Kind, kind);
    QFETCH(QString, message);

    ScriptedHttpServer server;
    server.setReply({status, body});
    const ClientAuthAPI api(server.baseUrl());
    const auto outcome = awaitOutcome(api.get(QStringLiteral("/api/x")));
    const auto error = outcome.error<Failure>();
    QVERIFY(error);
    QCOMPARE(error->kind(), kind);
    QCOMPARE(error->sentence(), message);
}

void tst_ClientAuthAPI::successBodies_data()
{
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<QString>("error"); // "" none, "format", "parse"
    QTest::addColumn<qint64>("code");   // -1 absent
    QTest::addColumn<bool>("hasData");
    QTest::addColumn<qint64>("announced"); // Content-Length, -1 the body's

    QTest::newRow("envelope") << QByteArray(R"({"code":0,"message":"ok","data":{"a":1}})") << QString() << qint64(0) << true << qint64(-1);
    QTest::newRow("code as text") << QByteArray(R"({"code":"0"})") << QString() << qint64(0) << false << qint64(-1);
    QTest::newRow("code as fraction") << QByteArray(R"({"code":2.9})") << QString() << qint64(2) << false << qint64(-1);
    QTest::newRow("code as blank text") << QByteArray(R"({"code":" 1"})") << QString() << qint64(-1) << false << qint64(-1);
    QTest::newRow("data as text") << QByteArray(R"({"data":"x"})") << QString() << qint64(-1) << false << qint64(-1);
    QTest::newRow("data as array") << QByteArray(R"({"data":[1]})") << QString() << qint64(-1) << false << qint64(-1);
    QTest::newRow("empty array") << QByteArray("[]") << QStringLiteral("format") << qint64(-1) << false << qint64(-1);
    QTest::newRow("not json") << QByteArray("<html>ok</html>") << QStringLiteral("parse") << qint64(-1) << false << qint64(-1);
    QTest::newRow("empty body") << QByteArray() << QStringLiteral("parse") << qint64(-1) << false << qint64(-1);
    // Refused on the announcement, not after waiting for the rest of it.
    QTest::newRow("announced larger than 4 MiB") << QByteArray(R"({"code":0)") << QStringLiteral("format") << qint64(-1)
                                                 << false << qint64(4 * 1024 * 1024 + 1);
}

void tst_ClientAuthAPI::successBodies()
{
    QFETCH(QByteArray, body);
    QFETCH(QString, error);
    QFETCH(qint64, code);
    QFETCH(bool, hasData);
    QFETCH(qint64, announced);

    ScriptedHttpServer server;
    server.setReply({200, body, "application/json", false, announced});
    const auto outcome = awaitOutcome(ClientAuthAPI(server.baseUrl()).get(QStringLiteral("/x")));
    if (error == QLatin1String("format")) {
        QCOMPARE(outcome.kind(), FailureKind::MalformedAnswer);
        QCOMPARE(outcome.description(), QStringLiteral("授权服务响应格式异常。"));
        return;
    }
    if (error == QLatin1String("parse")) {
        QCOMPARE(outcome.kind(), FailureKind::NotJson);
        QCOMPARE(outcome.description(), QStringLiteral("未能读取数据，因为它的格式不正确。"));
        return;
    }
    QVERIFY(outcome.value);
    QCOMPARE(outcome.value->code.value_or(-1), code);
    QCOMPARE(outcome.value->data.has_value(), hasData);
}

void tst_ClientAuthAPI::getKeepsThePathAsGiven()
{
    ScriptedHttpServer server;
    server.setReply({200, "{}"});
    awaitOutcome(ClientAuthAPI(server.baseUrl()).get(QStringLiteral("/a/b?q=%E4%B8%AD%20x&y=1")));
    QCOMPARE(server.requests().size(), 1);
    QCOMPARE(server.requests().first().method, QByteArray("GET"));
    QCOMPARE(server.requests().first().target, QByteArray("/a/b?q=%E4%B8%AD%20x&y=1"));
    QVERIFY(!server.requests().first().headers.contains("authorization"));
}

void tst_ClientAuthAPI::postPathWithoutSlashIsOneComponent()
{
    ScriptedHttpServer server;
    server.setReply({200, "{}"});
    const ClientAuthAPI api(server.baseUrl());
    awaitOutcome(api.post(QStringLiteral("upload?x=1 y"), QJsonObject{}));
    awaitOutcome(api.post(QStringLiteral("/upload?x=1"), QJsonObject{}));
    QCOMPARE(server.requests().size(), 2);
    QCOMPARE(server.requests()[0].target, QByteArray("/upload%3Fx=1%20y"));
    QCOMPARE(server.requests()[1].target, QByteArray("/upload?x=1"));
    QCOMPARE(server.requests()[0].method, QByteArray("POST"));
    QVERIFY(!server.requests()[0].headers.contains("authorization"));
}

void tst_ClientAuthAPI::urlEncode_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("encoded");
    QTest::newRow("blank") << QStringLiteral("mac os") << QStringLiteral("mac%20os");
    QTest::newRow("query delimiters kept") << QStringLiteral("a&b=c") << QStringLiteral("a&b=c");
    QTest::newRow("query set kept") << QStringLiteral("-._~!$'()*+,;:@/?") << QStringLiteral("-._~!$'()*+,;:@/?");
    QTest::newRow("chinese") << QStringLiteral("中文") << QStringLiteral("%E4%B8%AD%E6%96%87");
    QTest::newRow("percent hash quote") << QStringLiteral("%#\"") << QStringLiteral("%25%23%22");
    QTest::newRow("empty") << QString() << QString();
}

void tst_ClientAuthAPI::urlEncode()
{
    QFETCH(QString, text);
    QFETCH(QString, encoded);
    QCOMPARE(ClientAuthAPI::urlEncode(text), encoded);
}

void tst_ClientAuthAPI::latestReleaseQuery()
{
    ScriptedHttpServer server;
    server.setReply({200, R"({"code":0,"data":{"version":"1.4.2","sha256":"ab","downloadUrl":""}})"});
    const auto outcome = awaitOutcome(ClientAuthAPI(server.baseUrl()).latestRelease(QStringLiteral("mac os&x")));
    QVERIFY(outcome.value);
    QCOMPARE(outcome.value->version, QStringLiteral("1.4.2"));
    QVERIFY(!outcome.value->downloadURL);
    QCOMPARE(server.requests().first().target,
             QByteArray("/api/client/software/vev-urir-odaderid/releases/latest?platform=mac%20os&x&channel=stable"));
}

void tst_ClientAuthAPI::releaseWithoutData_data()
{
    QTest::addColumn<bool>("token");
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<QString>("message");
    QTest::addColumn<Kind>("kind");
    QTest::newRow("latest, message") << false << QByteArray(R"({"code":3,"message":"暂无发布版本。"})")
                                     << QStringLiteral("暂无发布版本。") << Kind::ReleaseUnavailable;
    QTest::newRow("latest, empty message") << false << QByteArray(R"({"message":""})") << QString()
                                           << Kind::ReleaseUnavailable;
    QTest::newRow("latest, nothing") << false << QByteArray("{}") << QStringLiteral("插件版本信息不可用。")
                                     << Kind::ReleaseUnavailable;
    QTest::newRow("token, nothing") << true << QByteArray(R"({"data":[]})") << QStringLiteral("插件下载授权不可用。")
                                    << Kind::DownloadNotGranted;
    QTest::newRow("token, bad descriptor") << true << QByteArray(R"({"data":{"sha256":""}})")
                                           << QStringLiteral("插件发布信息缺少版本号。") << Kind::ReleaseWithoutVersion;
}

void tst_ClientAuthAPI::releaseWithoutData()
{
    QFETCH(bool, token);
    QFETCH(QByteArray, body);
    QFETCH(QString, message);
    QFETCH(Kind, kind);
    ScriptedHttpServer server;
    server.setReply({200, body});
    const ClientAuthAPI api(server.baseUrl());
    const auto outcome = awaitOutcome(token ? api.downloadToken(QStringLiteral("t"), QStringLiteral("macos"), std::nullopt)
                                            : api.latestRelease(QStringLiteral("darwin")));
    QCOMPARE(outcome.kind(), kind);
    QCOMPARE(outcome.description(), message);
}

void tst_ClientAuthAPI::downloadTokenRequest_data()
{
    QTest::addColumn<std::optional<QString>>("installed");
    QTest::addColumn<QString>("credential");
    QTest::newRow("installed") << std::optional<QString>(QStringLiteral("1.3.0")) << QStringLiteral("x");
    QTest::newRow("absent") << std::optional<QString>() << QStringLiteral("x");
    QTest::newRow("empty") << std::optional<QString>(QString()) << QStringLiteral("x");
    QTest::newRow("empty credential") << std::optional<QString>() << QString();
}

void tst_ClientAuthAPI::downloadTokenRequest()
{
    QFETCH(std::optional<QString>, installed);
    QFETCH(QString, credential);
    ScriptedHttpServer server;
    server.setReply({200, R"({"data":{"version":"1.4.2","sha256":"ab","downloadUrl":"http://127.0.0.1:1/a.zip"}})"});
    const auto outcome =
        awaitOutcome(ClientAuthAPI(server.baseUrl()).downloadToken(credential, QStringLiteral("macos"), installed));
    QVERIFY(outcome.value);
    QCOMPARE(outcome.value->downloadURL, QUrl(QStringLiteral("http://127.0.0.1:1/a.zip")));

    const ScriptedHttpServer::Request &request = server.requests().first();
    QCOMPARE(request.method, QByteArray("POST"));
    QCOMPARE(request.target, QByteArray("/api/client/software/vev-urir-odaderid/download-token"));
    // A value's trailing blanks are not part of it on the wire, so an empty credential reads "Bearer".
    QCOMPARE(request.headers.value("authorization"), QByteArray("Bearer " + credential.toUtf8()).trimmed());
    QCOMPARE(request.headers.value("content-type"), QByteArray("application/json"));
    QJsonObject expected{{QStringLiteral("platform"), QStringLiteral("macos")},
                         {QStringLiteral("channel"), QStringLiteral("stable")},
                         {QStringLiteral("managerVersion"), QStringLiteral("0.1.3")}};
    if (installed && !installed->isEmpty())
        expected.insert(QStringLiteral("installedPluginVersion"), *installed);
    QCOMPARE(QJsonDocument::fromJson(request.body).object(), expected);
}

void tst_ClientAuthAPI::webURL_data()
{
    QTest::addColumn<QString>("base");
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("url");
    const QString base = QStringLiteral("https://www.corvanta.com");
    QTest::newRow("absolute") << base << QStringLiteral("https://other.example/a?b=1") << QStringLiteral("https://other.example/a?b=1");
    QTest::newRow("slash") << base << QStringLiteral("/pricing") << QStringLiteral("https://www.corvanta.com/pricing");
    QTest::newRow("no slash") << base << QStringLiteral("pricing") << QStringLiteral("https://www.corvanta.com/pricing");
    QTest::newRow("nested") << base << QStringLiteral("settings/ai-config") << QStringLiteral("https://www.corvanta.com/settings/ai-config");
    QTest::newRow("base with slash") << QStringLiteral("http://127.0.0.1:18741/") << QStringLiteral("/grouping-chat")
                                     << QStringLiteral("http://127.0.0.1:18741/grouping-chat");
}

void tst_ClientAuthAPI::webURL()
{
    QFETCH(QString, base);
    QFETCH(QString, path);
    QFETCH(QString, url);
    QCOMPARE(ClientAuthAPI(QUrl(base)).webURL(path), QUrl(url));
}

void tst_ClientAuthAPI::appVersionOutsideBundle()
{
    QCOMPARE(ClientAuthAPI::appVersion(), QStringLiteral("0.1.3"));
    QCOMPARE(ClientAuthAPI().baseURL(), QUrl(officialClientAuthBaseURL));
}

QTEST_GUILESS_MAIN(tst_ClientAuthAPI)
#include "tst_clientauthapi.moc"
