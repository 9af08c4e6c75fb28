#include "FakeWpsAddons.h"
#include "ScratchHome.h"
#include "StandinService.h"

#include "BuildConfig.h"
#include "plugin/AccountCredentialStore.h"
#include "plugin/PackageDirectory.h"

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTest>

using namespace Qt::Literals::StringLiterals;

// A mirror made by the built tool's `mirror` from the stand-in (signing as the vendor with the key
// its loopback build trusts), served by nginx on loopback in the suite's own network namespace or
// read as a folder, and installed from by the built tool under a policy at its fixed place (a
// private /etc): no account, no route, no vendor service.
namespace {

const QUrl serviceUrl(QString::fromUtf8(BuildConfig::serviceBaseUrl));
const QString policyFile = u"/etc/corvanta-manager/policy.json"_s;
const QString mirrorUrl = u"http://127.0.0.1:18080/"_s;

struct Run { int exitCode = -1; QString err; QString out; };

Run runTool(const QStringList &arguments)
{
    QProcess process;
    process.start(QStringLiteral(TEST_TOOL_EXECUTABLE), arguments);
    process.waitForFinished(90000);
    return {process.exitCode(), QString::fromUtf8(process.readAllStandardError()),
            QString::fromUtf8(process.readAllStandardOutput())};
}

void writeFile(const QString &path, const QByteArray &bytes)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(bytes);
}

QJsonObject readJson(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QJsonDocument::fromJson(file.readAll()).object() : QJsonObject();
}

} // namespace

class tst_OfflineMirror : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void cleanupTestCase();
    void install_data();
    void install();
    void policyInStatus_data();
    void policyInStatus();

private:
    QTemporaryDir m_made;
    QTemporaryDir m_served;
    QProcess m_nginx;
};

void tst_OfflineMirror::initTestCase()
{
    QFile devices(u"/proc/net/dev"_s);
    if (serviceUrl.host() != "127.0.0.1"_L1 || !devices.open(QIODevice::ReadOnly) || devices.readAll().split('\n').size() != 4
        || !QFileInfo(u"/etc/corvanta-manager"_s).isWritable())
        QSKIP("Needs the tool built for a loopback service, a network namespace and a private /etc (root).");
    QCOMPARE(QProcess::execute(u"/sbin/ip"_s, {u"link"_s, u"set"_s, u"lo"_s, u"up"_s}), 0);
    {
        ScratchHome home;
        QCoro::waitFor(AccountCredentialStore().storeCredential(StandinService::validCredential));
        StandinService vendor({u"--port"_s, QString::number(serviceUrl.port()), u"--signing-key"_s,
                               QStringLiteral(TEST_SOURCE_DIR "/tools/standin-service/keys/test-release-key.pem")});
        QVERIFY2(vendor.isRunning(), qPrintable(vendor.errorOutput()));
        const Run old = runTool({u"mirror"_s, m_made.path(), u"--version"_s, u"1.3.0"_s});
        QCOMPARE(old.err, u"已加入镜像：1.3.0\n镜像的最新版本：1.3.0\n"_s);
        const Run latest = runTool({u"mirror"_s, m_made.path()});
        QCOMPARE(latest.err, u"已加入镜像：1.4.2\n镜像的最新版本：1.4.2\n"_s);
    }
    QCOMPARE(readJson(m_made.filePath(u"latest.json"_s)), readJson(m_made.filePath(u"releases/1.4.2/release.json"_s)));
    writeFile(m_served.filePath(u"nginx.conf"_s),
              "daemon off; user root; pid " + m_served.filePath(u"nginx.pid"_s).toUtf8() + "; error_log stderr;\n"
              "events {}\nhttp { access_log off; client_body_temp_path " + m_served.filePath(u"tmp"_s).toUtf8() + ";\n"
              "  server { listen 127.0.0.1:18080; root " + m_served.filePath(u"www"_s).toUtf8() + "; } }\n");
    m_nginx.start(u"/usr/sbin/nginx"_s, {u"-e"_s, u"stderr"_s, u"-c"_s, m_served.filePath(u"nginx.conf"_s)});
    QVERIFY(m_nginx.waitForStarted());
}

void tst_OfflineMirror::cleanupTestCase()
{
    m_nginx.terminate();
    m_nginx.waitForFinished();
}

void tst_OfflineMirror::install_data()
{
    QTest::addColumn<QString>("source"); // http: through nginx; file: the folder itself
    QTest::addColumn<QString>("tampered"); // what was changed in the served mirror
    QTest::addColumn<QString>("policy"); // %1: the mirror's address
    QTest::addColumn<QString>("installed"); // before; empty: none
    QTest::addColumn<QString>("message"); // the last line on standard error
    QTest::addColumn<QString>("after");

    const QString plain = uR"({"packageSource": "%1"})"_s;
    const QString invalidSignature = u"安装失败：插件安装包的厂商签名无效，文件可能已被篡改，已拒绝安装。请联系厂商。"_s;
    QTest::newRow("served by nginx") << "http" << "" << plain << "" << u"插件 1.4.2 已安装。请完全退出并重新打开 WPS 表格。"_s << "1.4.2";
    QTest::newRow("a folder") << "file" << "" << plain << "1.3.0" << u"插件已从 1.3.0 更新到 1.4.2。请完全退出并重新打开 WPS 表格。"_s << "1.4.2";
    QTest::newRow("pinned") << "http" << "" << uR"({"packageSource": "%1", "pinnedVersion": "1.3.0"})"_s << ""
                            << u"插件 1.3.0 已安装。请完全退出并重新打开 WPS 表格。"_s << "1.3.0";
    QTest::newRow("changed archive") << "file" << "archive" << plain << ""
                                     << u"安装失败：安装包校验失败，文件可能不完整，请重新下载。"_s << "";
    QTest::newRow("changed version") << "http" << "version" << plain << "" << invalidSignature << "";
    QTest::newRow("stripped minManagerVersion") << "http" << "minManagerVersion" << plain << "" << invalidSignature << "";
    QTest::newRow("rollback") << "http" << "rollback" << plain << "1.4.2"
        << u"安装失败：提供的插件版本 1.3.0 低于已安装的版本 1.4.2，为防止回退到旧版本，已拒绝安装。已安装的版本不受影响，仍可用同一版本修复。"_s << "1.4.2";
    QTest::newRow("unsigned") << "file" << "signature" << plain << ""
        << u"安装失败：内部镜像中的插件安装包没有厂商签名，无法确认来源，已拒绝安装。请联系 IT 部门重新制作镜像。"_s << "";
    QTest::newRow("invalid policy") << "http" << "" << uR"({"packageSource": "%1", "pinnedVersion": "newest"})"_s << ""
        << u"安装失败：管理策略“/etc/corvanta-manager/policy.json”无法使用（“pinnedVersion”应为 1.4.2 这样的版本号），为安全起见已停用插件的安装、更新和在线页面。请联系 IT 部门。"_s << "";
}

void tst_OfflineMirror::install()
{
    QFETCH(QString, source);
    QFETCH(QString, tampered);
    QFETCH(QString, policy);
    QFETCH(QString, installed);
    QFETCH(QString, message);
    QFETCH(QString, after);
    const QString www = m_served.filePath(u"www"_s);
    QDir(www).removeRecursively();
    QCOMPARE(QProcess::execute(u"cp"_s, {u"-a"_s, m_made.path(), www}), 0);
    QJsonObject latest = readJson(www + u"/latest.json"_s);
    if (tampered == u"archive")
        writeFile(www + u"/releases/1.4.2/CorvantaAnalysis_1.4.2.zip"_s, "PK\x05\x06 not the vendor's archive");
    if (tampered == u"version")
        latest.insert(u"version"_s, u"1.4.3"_s);
    if (tampered == u"minManagerVersion" || tampered == u"signature")
        latest.remove(tampered);
    if (tampered == u"rollback")
        latest = readJson(www + u"/releases/1.3.0/release.json"_s);
    writeFile(www + u"/latest.json"_s, QJsonDocument(latest).toJson());
    const QString root = source == u"http" ? mirrorUrl : QUrl::fromLocalFile(www + u'/').toString();
    writeFile(policyFile, policy.arg(root).toUtf8());

    ScratchHome home;
    if (!installed.isEmpty())
        FakeWpsAddons().installTypical(installed);
    const Run run = runTool({u"install"_s});
    QCOMPARE(run.err.split(u'\n', Qt::SkipEmptyParts).last(), message);
    QCOMPARE(run.exitCode, message.startsWith(u"安装失败"_s) ? 1 : 0);
    QCOMPARE(PackageDirectory::installedPluginVersionFromDisk(), after.isEmpty() ? QString() : after);
}

void tst_OfflineMirror::policyInStatus_data()
{
    QTest::addColumn<QByteArray>("policy");
    QTest::addColumn<QByteArray>("dropIn"); // policy.d/50-site.json; empty: none
    QTest::addColumn<QByteArray>("expected"); // status --json's "policy"

    QTest::newRow("pinned") << R"({"pinnedVersion": "1.3.0"})"_ba << ""_ba
        << R"({"origins": ["/etc/corvanta-manager/policy.json"], "valid": true, "problem": null, "packageSource": "vendor",
               "pinnedVersion": "1.3.0", "showOnlinePages": true, "updateCheck": "atStart"})"_ba;
    QTest::newRow("online pages hidden, a drop-in wins") << R"({"showOnlinePages": false, "updateCheck": "daily"})"_ba
        << R"({"updateCheck": "manual"})"_ba
        << R"({"origins": ["/etc/corvanta-manager/policy.json", "/etc/corvanta-manager/policy.d/50-site.json"], "valid": true,
               "problem": null, "packageSource": "vendor", "pinnedVersion": null, "showOnlinePages": false, "updateCheck": "manual"})"_ba;
    QTest::newRow("a misspelt key") << R"({"pinnedVersoin": "1.3.0"})"_ba << ""_ba
        << R"({"origins": ["/etc/corvanta-manager/policy.json"], "valid": false, "packageSource": "vendor", "pinnedVersion": null,
               "problem": "管理策略“/etc/corvanta-manager/policy.json”无法使用（不认识的设置或类型不对：“pinnedVersoin”），为安全起见已停用插件的安装、更新和在线页面。请联系 IT 部门。",
               "showOnlinePages": false, "updateCheck": "manual"})"_ba;
    QTest::newRow("invalid") << "{\"showOnlinePages\": true,"_ba << ""_ba
        << R"({"origins": ["/etc/corvanta-manager/policy.json"], "valid": false, "packageSource": "vendor", "pinnedVersion": null,
               "problem": "管理策略“/etc/corvanta-manager/policy.json”无法使用（不是一个 JSON 对象），为安全起见已停用插件的安装、更新和在线页面。请联系 IT 部门。",
               "showOnlinePages": false, "updateCheck": "manual"})"_ba;
}

void tst_OfflineMirror::policyInStatus()
{
    QFETCH(QByteArray, policy);
    QFETCH(QByteArray, dropIn);
    QFETCH(QByteArray, expected);
    QDir(u"/etc/corvanta-manager/policy.d"_s).removeRecursively();
    writeFile(policyFile, policy);
    if (!dropIn.isEmpty())
        writeFile(u"/etc/corvanta-manager/policy.d/50-site.json"_s, dropIn);
    ScratchHome home;
    const Run run = runTool({u"status"_s, u"--json"_s, u"--offline"_s});
    QCOMPARE(run.exitCode, 0);
    QCOMPARE(QJsonDocument::fromJson(run.out.toUtf8()).object().value(u"policy"_s).toObject(),
             QJsonDocument::fromJson(expected).object());
}

QTEST_GUILESS_MAIN(tst_OfflineMirror)
#include "tst_offline_mirror.moc"
