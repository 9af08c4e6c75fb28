#include "FakeRunningBundle.h"
#include "FakeRunningWps.h"
#include "FakeWpsAddons.h"
#include "ScratchHome.h"
#include "StandinService.h"

#include "BuildConfig.h"
#include "core/ToolPaths.h"
#include "plugin/AccountCredentialStore.h"

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QTest>

#include <memory>

using namespace Qt::Literals::StringLiterals;

// Runs the built tool's commands as children without any display. CTest starts this suite in a
// network namespace of its own (as every tst_offline_* suite): there the tool's fixed service
// address, a loopback port, is the stand-in's, and a default route of the suite's own makes the
// machine online or takes it away.
namespace {

const QUrl serviceUrl(QString::fromUtf8(BuildConfig::serviceBaseUrl));
const QString placed = u"管理工具已安装到：<home>/Applications/Corvanta/Corvanta 管理工具.app"_s;
const QString started = u"开始安装或修复 WPS 插件"_s;
const QStringList statusJson{u"status"_s, u"--json"_s};

struct Run { int exitCode = -1; QString err; QString out; };

std::unique_ptr<QProcess> startTool(const QStringList &arguments)
{
    auto process = std::make_unique<QProcess>();
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const QString &name : {u"DISPLAY"_s, u"WAYLAND_DISPLAY"_s, u"QT_QPA_PLATFORM"_s})
        environment.remove(name);
    process->setProcessEnvironment(environment);
    process->start(QStringLiteral(TEST_TOOL_EXECUTABLE), arguments);
    return process;
}

Run finish(QProcess &process)
{
    process.waitForFinished(90000);
    return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
            QString::fromUtf8(process.readAllStandardError()), QString::fromUtf8(process.readAllStandardOutput())};
}

Run runTool(const QStringList &arguments)
{
    return finish(*startTool(arguments));
}

bool ip(const QString &arguments)
{
    return QProcess::execute(u"/sbin/ip"_s, arguments.split(u' ')) == 0;
}

// Words of `words`: offline, wps, no-service, refusing, signed-in, expired, installed (1.3.0),
// newer-tool (the release needs a newer management tool),
// et-elsewhere (a program named like WPS for Linux's, outside its folder), app-store and linked
// (the kind of installation WPS is laid out as, else the packaged one).
struct Setup
{
    Setup(const QString &home, const QString &words, const QStringList &serviceOptions = {})
        : wps(home, u"et"_s, words.contains("app-store"_L1) ? FakeRunningWps::Kind::AppStore
                             : words.contains("linked"_L1)  ? FakeRunningWps::Kind::Linked : FakeRunningWps::Kind::Packaged)
    {
        const auto has = [&words](const char *word) { return words.contains(QLatin1String(word)); };
        if (has("installed"))
            FakeWpsAddons().installTypical(u"1.3.0"_s);
        if (has("signed-in") || has("expired"))
            QCoro::waitFor(AccountCredentialStore().storeCredential(has("expired") ? StandinService::expiredCredential
                                                                                   : StandinService::validCredential));
        if (has("wps"))
            wps.start();
        if (has("et-elsewhere")) {
            namedEt = std::make_unique<FakeRunningBundle>(home, QString(), u"et"_s, QString());
            namedEt->start();
        }
        ip(has("offline") ? u"route del default"_s : u"route replace default dev lo"_s);
        QStringList options = QStringList{u"--port"_s, QString::number(serviceUrl.port()), u"--latest"_s, u"1.4.2"_s} + serviceOptions;
        if (has("refusing"))
            options << u"--status"_s << u"latest=500"_s;
        if (has("newer-tool"))
            options << u"--min-manager-version"_s << u"99.0"_s;
        if (!has("no-service"))
            service = std::make_unique<StandinService>(options);
    }

    FakeRunningWps wps;
    std::unique_ptr<FakeRunningBundle> namedEt;
    std::unique_ptr<StandinService> service;
};

// The activity log's messages, the scratch home written as <home>.
QStringList logMessages(const ScratchHome &home)
{
    QFile file(ToolPaths::logFile());
    QStringList messages;
    if (file.open(QIODevice::ReadOnly)) {
        for (const QString &line : QString::fromUtf8(file.readAll()).split(u'\n', Qt::SkipEmptyParts))
            messages.append(line.mid(u"[00:00:00] "_s.size()).replace(home.path(), u"<home>"_s));
    }
    return messages;
}

// The log lines expected: the placement line only where the tool places itself (the Mac).
QStringList expectedLog(QStringList lines)
{
    if (hostSystem != HostSystem::Mac)
        lines.removeAll(placed);
    return lines;
}

// The fields of `expected` (a JSON object) that differ in `actual`, with their actual values.
QJsonObject differences(const QString &actual, const QByteArray &expected)
{
    const QJsonObject object = QJsonDocument::fromJson(actual.toUtf8()).object();
    QJsonObject differing = QJsonDocument::fromJson(expected).object();
    for (const QString &key : differing.keys()) {
        if (object.value(key) == differing.value(key))
            differing.remove(key);
        else
            differing.insert(key, object.value(key));
    }
    return differing;
}

#define COMPARE_RUN(code, message, ...) \
    do { const Run run = runTool({__VA_ARGS__}); QCOMPARE(run.err, message); QCOMPARE(run.exitCode, code); } while (false)

template<typename T>
T fetch(const char *column)
{
    return *static_cast<T *>(QTest::qData(column, qMetaTypeId<T>()));
}

} // namespace

class tst_OfflineCommandLine : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void outcomes_data();
    void outcomes();
    void installUpdateUninstall();
    void secondInstallMeetsTheLock();
};

void tst_OfflineCommandLine::initTestCase()
{
    QFile devices(u"/proc/net/dev"_s);
    if (serviceUrl.host() != "127.0.0.1"_L1 || !devices.open(QIODevice::ReadOnly) || devices.readAll().split('\n').size() != 4)
        QSKIP("Needs the tool built for a loopback service port and a network namespace of its own (root).");
    QVERIFY(ip(u"link set lo up"_s));
}

// Messages on standard error and log lines are the window's own; status --json prints `fields`.
void tst_OfflineCommandLine::outcomes_data()
{
    QTest::addColumn<QStringList>("command");
    QTest::addColumn<QString>("setup");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("err");
    QTest::addColumn<QStringList>("log");
    QTest::addColumn<QByteArray>("fields");
    const QString hint = u"\n运行 CorvantaManagementTool --help 查看用法。\n"_s;
    QTest::newRow("unknown command") << QStringList{"statsu"} << "installed" << 2 << "未知命令：statsu" + hint << QStringList{} << QByteArray();
    QTest::newRow("uninstall without --yes") << QStringList{"uninstall"} << "installed" << 2 << "uninstall 会移除 WPS 表格中的 CorvantaAnalysis 加载项，请加 --yes 确认。" + hint << QStringList{} << QByteArray();
    const QString checking = u"正在检查最新插件版本...\n"_s;
    const QString refused = u"授权服务暂时不可用，请稍后重试；如果问题持续出现，请重新登录后再试。"_s;
    QTest::newRow("check, not installed") << QStringList{"check"} << "" << 10
        << checking + "尚未安装插件，可点击「安装」从 1.4.2 开始。\n" << QStringList{"用户触发检查更新"} << QByteArray();
    QTest::newRow("check, refused") << QStringList{"check"} << "installed refusing" << 1 << checking + "检查更新失败：" + refused + "\n" << QStringList{"用户触发检查更新", "检查更新失败：" + refused} << QByteArray();
    QTest::newRow("check, no service") << QStringList{"check"} << "installed no-service" << 4 << checking + "检查更新失败：未能连接到服务器。\n"
                                       << QStringList{"用户触发检查更新", "检查更新失败：未能连接到服务器。"} << QByteArray();
    QTest::newRow("check, offline") << QStringList{"check"} << "installed offline" << 4 << "检查更新需要连接 Corvanta 服务，请联网后重试。\n" << QStringList{"检查更新已拦截：当前离线"} << QByteArray();
    QTest::newRow("status") << statusJson << "installed wps" << 0 << "" << QStringList{} << QByteArray(R"({"installedVersion":"1.3.0",
        "latestVersion":"1.4.2","installState":"updateAvailable","releaseQuery":"answered","releaseQueryError":null,"online":true,"wpsRunning":true})");
    if (hostSystem == HostSystem::Linux) {
        QTest::newRow("status, app store WPS") << statusJson << "wps app-store" << 0 << "" << QStringList{} << QByteArray(R"({"wpsRunning":true,
            "wpsInstallations":[{"root":"/opt/apps/cn.wps.wps-office-pro/files/kingsoft/wps-office","resolvedRoot":"/opt/apps/cn.wps.wps-office-pro/files/kingsoft/wps-office","running":true,"addonDir":"<home>/.local/share/Kingsoft/wps/jsaddons"}]})");
        QTest::newRow("status, linked root, et elsewhere") << statusJson << "linked et-elsewhere" << 0 << "" << QStringList{} << QByteArray(R"({"wpsRunning":false,
            "wpsInstallations":[{"root":"/opt/kingsoft/wps-office","resolvedRoot":"/opt/moved/wps-office","running":false,"addonDir":"<home>/.local/share/Kingsoft/wps/jsaddons"}]})");
    }
    QTest::newRow("status, offline") << statusJson << "installed offline" << 4 << "" << QStringList{} << QByteArray(R"({"releaseQuery":"offline","online":false,"installedVersion":"1.3.0"})");
    QTest::newRow("status, no service") << statusJson << "installed no-service" << 4 << "" << QStringList{"查询最新插件版本失败（保留状态）：未能连接到服务器。"}
        << QByteArray(R"({"releaseQuery":"failed","releaseQueryError":"未能连接到服务器。","online":true})");
    const QStringList install{"install"}, repair{"repair-from-cache"};
    const QString fetching = u"正在获取 WPS 插件包...\n"_s;
    for (const char *kind : {"", " app-store", " linked"}) {
        for (const auto &[command, label] : {std::pair{install, "安装/修复"}, {repair, "用本机缓存修复"}, {QStringList{"uninstall", "--yes"}, "卸载"}}) {
            QTest::addRow("%s, WPS%s running", qPrintable(command.first()), kind) << command << u"installed signed-in wps"_s + kind << 3
                << u"请先完全退出 WPS 表格，再点击“%1”。\n"_s.arg(QString::fromUtf8(label))
                << QStringList{QString::fromUtf8(label) + "已拦截：WPS 正在运行"} << QByteArray();
        }
        QTest::addRow("install, WPS%s there, a program named et elsewhere", kind) << install << u"signed-in et-elsewhere"_s + kind << 0
            << fetching + "插件 1.4.2 已安装。请完全退出并重新打开 WPS 表格。\n"
            << QStringList{started, placed, "开始下载插件包：1.4.2", "插件包已缓存：1.4.2", "WPS 插件安装完成（1.4.2）"} << QByteArray();
    }
    const QString offline = u"安装失败：当前离线，安装或更新需要连接 Corvanta 服务。如需应急使用旧缓存，请在「更多」中选择「用本机缓存修复」。"_s;
    QTest::newRow("install, offline") << install << "installed signed-in offline" << 4 << fetching + offline + "\n" << QStringList{started, placed, offline} << QByteArray();
    const QString noService = u"安装失败：无法连接 Corvanta 服务，请检查网络后重试。如需应急使用旧缓存，请在「更多」中选择「用本机缓存修复」。"_s;
    QTest::newRow("install, no service") << install << "installed signed-in no-service" << 4 << fetching + noService + "\n"
        << QStringList{started, placed, "远端插件包获取失败，未自动使用本机缓存：未能连接到服务器。", noService} << QByteArray();
    const QString signIn = u"安装失败：尚未登录 Corvanta 账户，请先登录后再安装。"_s;
    QTest::newRow("install, not signed in") << install << "installed" << 6 << fetching + signIn + "\n" << QStringList{started, placed, signIn} << QByteArray();
    const QString expired = u"安装失败：刷新凭证无效或过期，请重新登录。"_s;
    QTest::newRow("install, sign-in expired") << install << "installed expired" << 6 << fetching + expired + "\n" << QStringList{started, placed, "账户凭据已被服务拒绝，已从本机清除", expired} << QByteArray();
    const QString tooOld = u"安装失败：插件 1.4.2 要求管理工具不低于 99.0，请联网后升级管理工具再安装。"_s;
    QTest::newRow("install, needs a newer tool") << install << "installed signed-in newer-tool" << 1 << fetching + tooOld + "\n"
        << QStringList{started, placed, "开始下载插件包：1.4.2", "插件包已缓存：1.4.2", tooOld} << QByteArray();
    const QString noCache = u"缓存修复失败：本机没有可用插件包缓存。请联网后点击安装或更新。"_s;
    QTest::newRow("repair, no cache") << repair << "installed offline" << 1 << "正在用本机缓存修复插件...\n" + noCache + "\n"
                                      << QStringList{"开始用本机缓存修复 WPS 插件", placed, noCache} << QByteArray();
}

void tst_OfflineCommandLine::outcomes()
{
    if (QRegularExpression(u"wps|et-elsewhere"_s).match(fetch<QString>("setup")).hasMatch() && !FakeRunningWps::whyUnavailable().isEmpty())
        QSKIP(qPrintable(FakeRunningWps::whyUnavailable()));
    ScratchHome home;
    const Setup setup(home.path(), fetch<QString>("setup"));
    const Run run = runTool(fetch<QStringList>("command"));
    QCOMPARE(run.err, fetch<QString>("err"));
    QCOMPARE(run.exitCode, fetch<int>("exitCode"));
    QCOMPARE(logMessages(home), expectedLog(fetch<QStringList>("log")));
    if (fetch<QByteArray>("fields").isEmpty())
        QCOMPARE(run.out, QString());
    else
        QCOMPARE(differences(QString(run.out).replace(home.path(), u"<home>"_s), fetch<QByteArray>("fields")), QJsonObject());
    if (fetch<QString>("setup").contains("installed"_L1))
        QVERIFY(QFile::exists(FakeWpsAddons().filePath(u"CorvantaAnalysis_1.3.0"_s)));
}

// Status before and after, the update check on both sides of an update, and the window's log lines.
void tst_OfflineCommandLine::installUpdateUninstall()
{
    ScratchHome home;
    auto setup = std::make_unique<Setup>(home.path(), u"signed-in"_s, QStringList{"--latest", "1.3.0"});
    QCOMPARE(differences(runTool(statusJson).out, R"({"installState":"notInstalled","installedVersion":null,"cachedPackages":[]})"), QJsonObject());
    COMPARE_RUN(0, u"正在获取 WPS 插件包...\n插件 1.3.0 已安装。请完全退出并重新打开 WPS 表格。\n"_s, u"install"_s);
    // In the folder this system's WPS reads, and registered there.
    const FakeWpsAddons addons(home.addonDir());
    QVERIFY(QFile::exists(addons.filePath(u"CorvantaAnalysis_1.3.0/ribbon.xml"_s)));
    QVERIFY(addons.readPublishXml().contains(addons.packageUrl(u"CorvantaAnalysis_1.3.0"_s)));
    QVERIFY(QJsonDocument(addons.readAuthAddinJson()).toJson().contains("CorvantaAnalysis_1.3.0"));
    const QString status = runTool(statusJson).out;
    QCOMPARE(differences(status, R"({"installState":"upToDate","installedVersion":"1.3.0"})"), QJsonObject());
    const QJsonObject locations{{u"addonDir"_s, home.addonDir()}, {u"supportDir"_s, home.supportDir()},
                                {u"packageCacheDir"_s, home.packageCacheDir()}, {u"logFile"_s, home.logFile()}};
    QCOMPARE(differences(status, QJsonDocument(locations).toJson()), QJsonObject());
    setup.reset();
    setup = std::make_unique<Setup>(home.path(), QString());
    COMPARE_RUN(10, u"正在检查最新插件版本...\n发现新版本 1.4.2，可点击「更新到 1.4.2」安装。\n"_s, u"check"_s);
    COMPARE_RUN(0, u"正在获取 WPS 插件包...\n插件已从 1.3.0 更新到 1.4.2。请完全退出并重新打开 WPS 表格。\n"_s, u"install"_s);
    COMPARE_RUN(0, u"正在检查最新插件版本...\n本机插件已是最新版 1.4.2。\n"_s, u"check"_s);
    COMPARE_RUN(0, u"正在卸载 WPS 插件...\n插件已卸载。完全退出并重新打开 WPS 后生效。\n"_s, u"uninstall"_s, u"--yes"_s);
    QCOMPARE(differences(runTool(statusJson).out, R"({"installState":"notInstalled","installedVersion":null})"), QJsonObject());
    QCOMPARE(QJsonDocument::fromJson(runTool(statusJson).out.toUtf8())["cachedPackages"][0]["version"], "1.4.2"_L1);
    // Nothing of the Mac's layout on Linux: no ~/Library, no placed copy in ~/Applications.
    if (hostSystem == HostSystem::Linux) {
        QCOMPARE(QDir(home.path()).entryList({u"Library"_s, u"Applications"_s}, QDir::AllEntries | QDir::Hidden), QStringList());
        QVERIFY(QFile::exists(home.logFile()));
    }
    QCOMPARE(logMessages(home), expectedLog({started, placed, "开始下载插件包：1.3.0", "插件包已缓存：1.3.0", "WPS 插件安装完成（1.3.0）",
                                             "用户触发检查更新", started, placed, "开始下载插件包：1.4.2",
                                             "已清理旧插件缓存：CorvantaAnalysis_1.3.0", "已清理旧下载包：CorvantaAnalysis_1.3.0.zip",
                                             "插件包已缓存：1.4.2", "WPS 插件安装完成（1.4.2）", "用户触发检查更新", "开始卸载 WPS 插件",
                                             "WPS 插件卸载完成"}));
}

// A second install while a slow one holds the lock is refused; the first one still finishes.
void tst_OfflineCommandLine::secondInstallMeetsTheLock()
{
    ScratchHome home;
    const Setup setup(home.path(), u"signed-in"_s, {u"--slow-ms"_s, u"1500"_s});
    const std::unique_ptr<QProcess> first = startTool({u"install"_s});
    QTRY_VERIFY_WITH_TIMEOUT(logMessages(home).contains(u"开始下载插件包：1.4.2"_s), 20000);
    COMPARE_RUN(5, u"正在获取 WPS 插件包...\n安装失败：另一项插件操作正在进行，请等它完成后再试。\n"_s, u"install"_s);
    QCOMPARE(finish(*first).exitCode, 0);
    QCOMPARE(logMessages(home), expectedLog({started, placed, "开始下载插件包：1.4.2", started,
                                             "安装失败：另一项插件操作正在进行，请等它完成后再试。", "插件包已缓存：1.4.2",
                                             "WPS 插件安装完成（1.4.2）"}));
}

QTEST_GUILESS_MAIN(tst_OfflineCommandLine)
#include "tst_offline_commandline.moc"
