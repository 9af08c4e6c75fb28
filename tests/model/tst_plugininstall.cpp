#include "core/ConfirmationPrompt.h"
#include "core/Failure.h"
#include "core/ToolPaths.h"
#include "model/AuthToolModel.h"
#include "plugin/InstallerScriptRun.h"
#include "plugin/OperationLock.h"

#include "FakeRunningBundle.h"
#include "FakeRunningWps.h"
#include "FakeWpsAddons.h"
#include "ScratchHome.h"
#include "StandinService.h"
#include "TaskOutcome.h"

#include <QProcess>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <csignal>
#include <sys/wait.h>

namespace {

const QString bundleResources = QStringLiteral(TEST_PAYLOAD_ROOT);
enum Action { Install, CacheRepair, Uninstall };

struct AnsweringPrompt : ConfirmationPrompt
{
    bool confirm(const ConfirmationRequest &request) override { return ++asked, last = request, answer(); }
    std::function<bool()> answer = [] { return true; };
    int asked = 0;
    ConfirmationRequest last;
};

// A model of the scratch home, signed in at `service` (none: a closed port), with the build tree's payload.
struct Tool
{
    explicit Tool(const QUrl &service = QUrl("http://127.0.0.1:9"), const QString &resources = bundleResources)
        : model(ClientAuthAPI(service))
    {
        QCoro::waitFor(model.credentialStore().storeCredential(StandinService::validCredential));
        model.setInstallerResources(resources, 1.0);
        model.setConfirmationPrompt(prompt);
        model.refreshInstalledPluginVersion();
    }
    OperationOutcome run(Action operation)
    {
        return QCoro::waitFor(operation == Install ? model.installOrRepairPlugin()
                              : operation == CacheRepair ? model.repairPluginFromCache() : model.uninstallPlugin());
    }
    QString log() const { return QString::fromUtf8(bytes(ToolPaths::logFile())); }
    static QByteArray bytes(const QString &path)
    {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    std::shared_ptr<AnsweringPrompt> prompt = std::make_shared<AnsweringPrompt>();
    AuthToolModel model;
};

} // namespace

class tst_PluginInstall : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void installUpdateRepairUninstall();
    void runningWpsBlocks_data();
    void runningWpsBlocks();
    void failedScriptKeepsPreviousAddin_data();
    void failedScriptKeepsPreviousAddin();
    void wpsStartedMidway();
    void wpsRunningWhenTheScriptRuns();
    void oldVersionLeftBehind();
    void uninstallCancelledOrFailing();
    void oneOperationAcrossProcesses();
};

void tst_PluginInstall::installUpdateRepairUninstall()
{
    ScratchHome home;
    FakeWpsAddons addons;
    const QString other = "OtherAddin_1.0";
    for (const QString &name : {other, QStringLiteral("corvantaanalysis_1.0"), QStringLiteral("Corvanta_old")})
        addons.addPackage(name);
    addons.writePublishXml({{FakeWpsAddons::otherAddinName, addons.packageUrl(other), "1.0", "wps", false, true}});
    addons.writeAuthAddinJson({{"et", FakeWpsAddons::authGroup({{other, FakeWpsAddons::otherAddinName, "/o"}})}});
    const QJsonObject otherAuth = addons.readAuthAddinJson();
    {
        StandinService service({"--latest", "1.3.0"});
        QVERIFY2(service.isRunning(), qPrintable(service.errorOutput()));
        Tool tool(service.baseUrl());
        QCoro::Task<OperationOutcome> first = tool.model.installOrRepairPlugin();
        // A second quick click.
        QCOMPARE(QCoro::waitFor(tool.model.installOrRepairPlugin()).gate(), OperationOutcome::Gate::Busy);
        QVERIFY(QCoro::waitFor(std::move(first)).isDone());
        QCOMPARE(tool.log().count("开始安装"), 1);
        QCOMPARE(service.requests().filter("GET /downloads/").size(), 1);
        QCOMPARE(tool.model.operationMessage(), "插件 1.3.0 已安装。请完全退出并重新打开 WPS 表格。");
        QCOMPARE(addons.entryNames().filter("Corvanta"), QStringList{"CorvantaAnalysis_1.3.0"});
        QVERIFY(addons.readPublishXml().contains("<jsplugin name=\"CorvantaAnalysis\" type=\"et\" url=\""
                                                 + addons.packageUrl("CorvantaAnalysis_1.3.0") + "\" version=\"1.3.0\"/>"));
        const QJsonObject group = addons.readAuthAddinJson().value("et").toObject();
        QCOMPARE(group.value("namelist").toString(), "CorvantaAnalysis_1.3.0;" + other);
        QCOMPARE(group.value("CorvantaAnalysis_1.3.0")["path"].toString(), addons.filePath("CorvantaAnalysis_1.3.0"));
        QCOMPARE(tool.model.pluginInstallState(), PluginInstallState::UpToDate);
        QVERIFY(tool.log().contains("] WPS 插件安装完成（1.3.0）\n"));
        tool.run(Install);
        QCOMPARE(tool.model.operationMessage(), "插件已确认为最新版 1.3.0。");
    }
    StandinService service;
    QVERIFY2(service.isRunning(), qPrintable(service.errorOutput()));
    Tool tool(service.baseUrl());
    tool.run(Install);
    QCOMPARE(tool.model.operationMessage(), "插件已从 1.3.0 更新到 1.4.2。请完全退出并重新打开 WPS 表格。");
    QCOMPARE(addons.entryNames().filter("CorvantaAnalysis_"), QStringList{"CorvantaAnalysis_1.4.2"});
    QCOMPARE(addons.readPublishXml().count("CorvantaAnalysis_"), 1);

    // The cache repair asks no service: this one has none.
    Tool repairing;
    repairing.run(CacheRepair);
    QCOMPARE(repairing.model.operationMessage(), "已用本机缓存 1.4.2 修复，联网后请检查更新。");
    QCOMPARE(repairing.model.operationTone(), OperationTone::Warning);
    QVERIFY(repairing.log().endsWith("] 本机缓存修复完成（1.4.2）\n"));

    // The folders go on the pool: the window's thread is back before they are gone.
    auto uninstalling = tool.model.uninstallPlugin();
    QVERIFY(tool.model.isUninstalling());
    QVERIFY(QCoro::waitFor(std::move(uninstalling)).isDone());
    const ConfirmationRequest &asked = tool.prompt->last;
    QCOMPARE((QStringList{asked.messageText, asked.informativeText, asked.confirmButton, asked.cancelButton}),
             (QStringList{"卸载 Corvanta分析插件？", "只会移除 WPS 表格中的 CorvantaAnalysis 加载项，不会删除管理工具或其他内容。", "卸载", "取消"}));
    QCOMPARE(tool.model.operationMessage(), "插件已卸载。完全退出并重新打开 WPS 后生效。");
    QCOMPARE(addons.entryNames(), (QStringList{other, "authaddin.json", "corvantaanalysis_1.0", "publish.xml"}));
    QVERIFY(!addons.readPublishXml().contains("Corvanta") && addons.readPublishXml().contains(addons.packageUrl(other)));
    QCOMPARE(addons.readAuthAddinJson(), otherAuth);
    QCOMPARE(tool.model.pluginInstallState(), PluginInstallState::NotInstalled);
}

void tst_PluginInstall::runningWpsBlocks_data()
{
    QTest::addColumn<int>("operation");
    QTest::addColumn<QString>("dir"); // empty: the scratch home
    QTest::addColumn<QString>("bundle");
    QTest::addColumn<QString>("executable");
    QTest::addColumn<QString>("identifier");
    QTest::addColumn<QString>("label"); // empty: not WPS, the uninstall goes on to its question
    // Stopped (SIGSTOP) once started: it still holds its files and may go on at any moment.
    QTest::addColumn<bool>("stopped");

    const QString wps = "com.kingsoft.wpsoffice.mac";
    if (hostSystem == HostSystem::Linux) {
        const QString office6 = "/opt/kingsoft/wps-office/office6";
        QTest::newRow("install") << int(Install) << office6 << "" << "et" << "" << "安装/修复" << false;
        QTest::newRow("cache repair") << int(CacheRepair) << office6 << "" << "wps" << "" << "用本机缓存修复" << false;
        QTest::newRow("uninstall") << int(Uninstall) << office6 << "" << "wpp" << "" << "卸载" << false;
        QTest::newRow("stopped WPS") << int(Install) << office6 << "" << "et" << "" << "安装/修复" << true;
        QTest::newRow("named et elsewhere is not WPS") << int(Uninstall) << "" << "" << "et" << "" << "" << false;
        QTest::newRow("WPS for Mac's bundle is not WPS for Linux") << int(Uninstall) << "" << "wps.app" << "wpsoffice" << wps << "" << false;
        return;
    }
    QTest::newRow("install") << int(Install) << "" << "wps.app" << "wpsoffice" << wps << "安装/修复" << false;
    QTest::newRow("cache repair") << int(CacheRepair) << "" << "wps.app" << "wpsoffice" << wps << "用本机缓存修复" << false;
    QTest::newRow("uninstall") << int(Uninstall) << "" << "wps.app" << "wpsoffice" << wps << "卸载" << false;
    QTest::newRow("stopped WPS") << int(Install) << "" << "wps.app" << "wpsoffice" << wps << "安装/修复" << true;
    QTest::newRow("named WPS Office") << int(Uninstall) << "" << "Sheets.app" << "WPS Office" << "com.example.sheets" << "卸载" << false;
    QTest::newRow("WPS Office Helper is not WPS") << int(Uninstall) << "" << "" << "WPS Office Helper" << "" << "" << false;
}

void tst_PluginInstall::runningWpsBlocks()
{
    QFETCH(int, operation);
    QFETCH(QString, dir);
    QFETCH(QString, bundle);
    QFETCH(QString, executable);
    QFETCH(QString, identifier);
    QFETCH(QString, label);
    QFETCH(bool, stopped);
    if (dir.startsWith("/opt/") && !FakeRunningWps::whyUnavailable().isEmpty())
        QSKIP(qPrintable(FakeRunningWps::whyUnavailable()));
    ScratchHome home;
    FakeWpsAddons addons;
    addons.installTypical("1.3.0");
    FakeWpsAddons::writePackage(ToolPaths::pluginPackageCacheDir(), "CorvantaAnalysis_1.4.2", FakePackage().version("1.4.2"));
    const QStringList before = addons.entryNames();
    FakeRunningBundle running(dir.isEmpty() ? home.path() : dir, bundle, executable, identifier);
    QVERIFY(running.start());
    if (stopped) {
        QCOMPARE(::kill(pid_t(running.pid()), SIGSTOP), 0);
        siginfo_t info = {};
        QTRY_VERIFY(::waitid(P_PID, id_t(running.pid()), &info, WSTOPPED | WNOHANG | WNOWAIT) == 0 && info.si_pid != 0);
    }
    Tool tool;
    tool.prompt->answer = [] { return false; };

    const OperationOutcome outcome = tool.run(Action(operation));
    QCOMPARE(outcome.gate(), label.isEmpty() ? OperationOutcome::Gate::NotConfirmed : OperationOutcome::Gate::WpsRunning);
    QCOMPARE(tool.prompt->asked, label.isEmpty() ? 1 : 0);
    QCOMPARE(tool.model.operationMessage(), label.isEmpty() ? QString() : "请先完全退出 WPS 表格，再点击“" + label + "”。");
    QCOMPARE(tool.log().section("] ", 1), label.isEmpty() ? QString() : label + "已拦截：WPS 正在运行\n");
    QCOMPARE(addons.entryNames(), before);
}

void tst_PluginInstall::failedScriptKeepsPreviousAddin_data()
{
    QTest::addColumn<QByteArray>("script"); // empty: the real payload; "-": none at all
    QTest::addColumn<QByteArray>("registry"); // what "authaddin.json" holds for the real payload
    QTest::addColumn<QString>("message");
    QTest::addColumn<int>("kind"); // read from the exit status, never from the text

    const QByteArray typical;
    QTest::newRow("exit 1 with one line") << QByteArray("printf '磁盘空间不足。\\n'; exit 1") << typical
                                          << "安装失败：磁盘空间不足。\n" << int(FailureKind::InstallerFailed);
    QTest::newRow("hangs") << QByteArray("printf '正在复制'; sleep 30") << typical
                           << "安装失败：正在复制\n操作超时，请完全退出 WPS 表格后重试。" << int(FailureKind::InstallerTimedOut);
    QTest::newRow("silent") << QByteArray("exit 3") << typical << "安装失败：WPS 插件安装脚本执行失败。" << int(FailureKind::InstallerFailed);
    QTest::newRow("copy failed, by its status") << QByteArray("echo 登记失败; exit 66") << typical << "安装失败：登记失败\n"
                                                << int(FailureKind::InstallerCopyFailed);
    QTest::newRow("package refused, by its status") << QByteArray("echo 插件包不完整; exit 65") << typical
                                                    << "安装失败：插件包不完整\n" << int(FailureKind::InstallerPackageRefused);
    QTest::newRow("WPS running, by its status") << QByteArray("echo 'WPS is running'; exit 68") << typical
                                                << "安装失败：WPS 表格正在运行，未做任何修改。请先完全退出 WPS 表格后重试。"
                                                << int(FailureKind::WpsRunning);
    QTest::newRow("no payload") << QByteArray("-") << typical
                                << "安装失败：安装包缺少 WPS 插件 Payload，请重新下载正式安装包。" << int(FailureKind::InstallerMissing);
    QTest::newRow("real script, registry not JSON") << QByteArray() << QByteArray("{\"et\": ")
                                                    << "安装失败：未能读取数据，因为它的格式不正确。\n"
                                                    << int(FailureKind::InstallerRegistrationFailed);
    QTest::newRow("real script, registry not an object") << QByteArray() << QByteArray("[]")
                                                         << "安装失败：WPS 的加载项注册表“authaddin.json”格式无法识别，未做修改。\n"
                                                         << int(FailureKind::InstallerRegistrationFailed);
}

void tst_PluginInstall::failedScriptKeepsPreviousAddin()
{
    QFETCH(QByteArray, script);
    QFETCH(QByteArray, registry);
    QFETCH(QString, message);
    QFETCH(int, kind);
    ScratchHome home;
    FakeWpsAddons addons;
    addons.installTypical("1.3.0");
    if (!registry.isNull())
        addons.writeAuthAddinJsonText(registry);
    const QStringList entries = addons.entryNames();
    const QByteArray lists = Tool::bytes(addons.filePath("publish.xml")) + Tool::bytes(addons.filePath("authaddin.json"));
    QTemporaryDir resources;
    QDir().mkpath(resources.filePath("Payload/installers"));
    QFile file(resources.filePath("Payload/installers/install-corvanta-wps-analysis-macos.command"));
    QVERIFY(script == "-" || (file.open(QIODevice::WriteOnly) && file.write(script) == script.size()));
    file.close();
    StandinService service;
    QVERIFY2(service.isRunning(), qPrintable(service.errorOutput()));
    Tool tool(service.baseUrl(), script.isEmpty() ? bundleResources : resources.path());
    QCOMPARE(tool.run(Install).kind(), FailureKind(kind));
    QCOMPARE(tool.model.operationMessage(), message);
    QVERIFY(tool.log().contains("] " + message));
    QCOMPARE(tool.model.installedPluginVersionPublished(), "1.3.0");
    QVERIFY(!tool.model.isInstalling());
    QCOMPARE(addons.entryNames(), entries);
    QCOMPARE(Tool::bytes(addons.filePath("publish.xml")) + Tool::bytes(addons.filePath("authaddin.json")), lists);
}

// WPS is started while the package trickles in (or while the uninstall's question is open): the
// last look before WPS's files change stops the operation with the gate's refusal; the verified
// package stays in the cache.
void tst_PluginInstall::wpsStartedMidway()
{
    ScratchHome home;
    FakeWpsAddons addons;
    addons.installTypical("1.3.0");
    const QStringList entries = addons.entryNames();
    const QByteArray lists = Tool::bytes(addons.filePath("publish.xml")) + Tool::bytes(addons.filePath("authaddin.json"));
    StandinService service({"--trickle-ms", "1"});
    QVERIFY2(service.isRunning(), qPrintable(service.errorOutput()));
    // A payload that only leaves a mark: the tool's own last look must keep it from starting at all.
    QTemporaryDir resources;
    QVERIFY(QDir().mkpath(resources.filePath("Payload/installers")));
    QFile script(resources.filePath(InstallerScriptRun::scriptRelativePath));
    QVERIFY(script.open(QIODevice::WriteOnly) && script.write("touch \"$HOME/script-ran\"\n") > 0);
    script.close();
    Tool tool(service.baseUrl(), resources.path());
    if (!FakeRunningWps::whyUnavailable().isEmpty())
        QSKIP(qPrintable(FakeRunningWps::whyUnavailable()));
    FakeRunningWps wps(home.path());
    bool startedDuringDownload = false;
    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout, [&] {
        if (service.requests().filter("GET /downloads/").isEmpty())
            return;
        watch.stop();
        startedDuringDownload = wps.start();
    });
    watch.start(5);

    const OperationOutcome outcome = tool.run(Install);
    QVERIFY(startedDuringDownload);
    QCOMPARE(outcome.kind(), FailureKind::WpsRunning);
    QCOMPARE(tool.model.operationMessage(), "请先完全退出 WPS 表格，再点击“安装/修复”。");
    QCOMPARE(tool.model.operationTone(), OperationTone::Error);
    QVERIFY(tool.log().endsWith("] 安装/修复已拦截：WPS 正在运行\n"));
    QCOMPARE(tool.model.installedPluginVersionPublished(), "1.3.0");
    QCOMPARE(addons.entryNames(), entries);
    QCOMPARE(Tool::bytes(addons.filePath("publish.xml")) + Tool::bytes(addons.filePath("authaddin.json")), lists);
    QVERIFY(QFile::exists(ToolPaths::pluginPackageCacheDir() + "/CorvantaAnalysis_1.4.2/ribbon.xml"));
    QVERIFY(!QFile::exists(home.filePath("script-ran")));

    wps.stop();
    tool.prompt->answer = [&] { return wps.start(); };
    tool.run(Uninstall);
    QCOMPARE(tool.prompt->asked, 1);
    QCOMPARE(tool.model.operationMessage(), "请先完全退出 WPS 表格，再点击“卸载”。");
    QVERIFY(tool.log().endsWith("] 卸载已拦截：WPS 正在运行\n"));
    QCOMPARE(addons.entryNames(), entries);
    QCOMPARE(Tool::bytes(addons.filePath("publish.xml")) + Tool::bytes(addons.filePath("authaddin.json")), lists);
}

// The script's helper looks for itself: started with WPS running, the installer changes nothing
// and says so by its status.
void tst_PluginInstall::wpsRunningWhenTheScriptRuns()
{
    ScratchHome home;
    FakeWpsAddons addons;
    addons.installTypical("1.3.0");
    const QStringList entries = addons.entryNames();
    const QByteArray lists = Tool::bytes(addons.filePath("publish.xml")) + Tool::bytes(addons.filePath("authaddin.json"));
    const QString package = FakeWpsAddons::writePackage(home.filePath("cache"), "CorvantaAnalysis_1.4.2", FakePackage().version("1.4.2"));
    if (!FakeRunningWps::whyUnavailable().isEmpty())
        QSKIP(qPrintable(FakeRunningWps::whyUnavailable()));
    FakeRunningWps wps(home.path());
    QVERIFY(wps.start());
    QProcess script;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    const QMap<QString, QString> variables = InstallerScriptRun::environment(home.filePath("Applications/Corvanta"), package);
    for (auto it = variables.begin(); it != variables.end(); ++it)
        environment.insert(it.key(), it.value());
    script.setProcessEnvironment(environment);
    script.start("/bin/bash", {bundleResources + "/" + InstallerScriptRun::scriptRelativePath});
    QVERIFY(script.waitForFinished());
    QCOMPARE(script.exitCode(), 68);
    QCOMPARE(addons.entryNames(), entries);
    QCOMPARE(Tool::bytes(addons.filePath("publish.xml")) + Tool::bytes(addons.filePath("authaddin.json")), lists);
}

// An old version that cannot be removed (here: immutable) does not undo the install of the new one.
void tst_PluginInstall::oldVersionLeftBehind()
{
    ScratchHome home;
    FakeWpsAddons addons;
    addons.installTypical("1.3.0");
    const QString old = addons.filePath("CorvantaAnalysis_1.3.0");
    if (QProcess::execute("chattr", {"+i", old}) != 0)
        QSKIP("this file system cannot make a folder immutable");
    const auto mutableAgain = qScopeGuard([&] { QProcess::execute("chattr", {"-i", old}); });
    StandinService service;
    QVERIFY2(service.isRunning(), qPrintable(service.errorOutput()));
    Tool tool(service.baseUrl());

    tool.run(Install);
    QCOMPARE(tool.model.operationMessage(), "插件已从 1.3.0 更新到 1.4.2。请完全退出并重新打开 WPS 表格。");
    QCOMPARE(tool.model.operationTone(), OperationTone::Success);
    QVERIFY(tool.log().contains("] 旧版插件未能移除：CorvantaAnalysis_1.3.0\n"));
    QCOMPARE(tool.model.installedPluginVersionPublished(), "1.4.2");
    QCOMPARE(tool.model.pluginInstallState(), PluginInstallState::UpToDate);
    QVERIFY(addons.readPublishXml().contains(addons.packageUrl("CorvantaAnalysis_1.4.2")));
    QVERIFY(!addons.readPublishXml().contains("CorvantaAnalysis_1.3.0"));
    QCOMPARE(addons.readAuthAddinJson().value("et").toObject().value("namelist").toString(),
             "CorvantaAnalysis_1.4.2;OtherAddin_1.0");
}

void tst_PluginInstall::uninstallCancelledOrFailing()
{
    ScratchHome home;
    FakeWpsAddons addons;
    addons.installTypical("1.4.2");
    Tool tool;
    bool busyWhileAsked = false;
    tool.prompt->answer = [&] {
        busyWhileAsked = tool.model.isUninstalling();
        if (tool.prompt->asked == 1) // a second start while the question is open must not ask again
            awaitOutcome(tool.model.uninstallPlugin());
        return false;
    };
    tool.run(Uninstall);
    QVERIFY(busyWhileAsked && !tool.model.isUninstalling());
    QCOMPARE(tool.prompt->asked, 1);
    QCOMPARE(tool.model.operationToken(), 0u);
    QCOMPARE(tool.log(), QString());
    // Without a way to ask, nothing goes.
    tool.model.setConfirmationPrompt(nullptr);
    QCOMPARE(tool.run(Uninstall).gate(), OperationOutcome::Gate::NotConfirmed);
    QVERIFY(QFile::exists(addons.filePath("CorvantaAnalysis_1.4.2")));
    tool.model.setConfirmationPrompt(tool.prompt);

    addons.writeAuthAddinJsonText("{\"et\": [");
    tool.prompt->answer = [] { return true; };
    tool.run(Uninstall);
    QCOMPARE(tool.model.operationMessage(), "卸载失败：未能读取数据，因为它的格式不正确。");
    QVERIFY(tool.log().endsWith("] 卸载失败：未能读取数据，因为它的格式不正确。\n"));
    // Both lists are read before anything goes: a registry that cannot be read leaves all as it was.
    QCOMPARE(addons.entryNames(), (QStringList{"CorvantaAnalysis_1.4.2", "OtherAddin_1.0", "authaddin.json", "publish.xml"}));
    QVERIFY(addons.readPublishXml().contains("CorvantaAnalysis_1.4.2"));
    QCOMPARE(Tool::bytes(addons.filePath("authaddin.json")), "{\"et\": [");
}

void tst_PluginInstall::oneOperationAcrossProcesses()
{
    ScratchHome home;
    FakeWpsAddons addons;
    addons.installTypical("1.4.2");
    Tool tool;
    {
        const auto otherCopy = OperationLock::acquire(); // the same lock file another copy would take
        QCOMPARE(tool.run(Uninstall).kind(), FailureKind::Busy);
        QCOMPARE(tool.model.operationMessage(), "卸载失败：另一项插件操作正在进行，请等它完成后再试。");
        QCOMPARE(tool.run(Install).kind(), FailureKind::Busy);
        QCOMPARE(tool.model.operationMessage(), "安装失败：另一项插件操作正在进行，请等它完成后再试。");
        QVERIFY(addons.entryNames().contains("CorvantaAnalysis_1.4.2"));
    }
    QVERIFY(tool.run(Uninstall).isDone());
    QCOMPARE(tool.model.operationMessage(), "插件已卸载。完全退出并重新打开 WPS 后生效。");
}

QTEST_GUILESS_MAIN(tst_PluginInstall)
#include "tst_plugininstall.moc"
