#include "core/ConfirmationPrompt.h"
#include "core/ToolPaths.h"
#include "model/AuthToolModel.h"
#include "plugin/OperationLock.h"

#include "FakeRunningBundle.h"
#include "FakeWpsAddons.h"
#include "ScratchHome.h"
#include "StandinService.h"
#include "TaskOutcome.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonDocument>
#include <QTemporaryDir>
#include <QTest>
#include <QXmlStreamReader>

#include <functional>
#include <memory>
#include <sys/wait.h>
#include <unistd.h>

namespace {

const QString bundleResources = QStringLiteral(TEST_BUNDLE_DIR "/Contents/Resources");
const QString unreachableService = QStringLiteral("http://127.0.0.1:9");
enum Operation { Install, CacheRepair, Uninstall };

class AnsweringPrompt : public ConfirmationPrompt
{
public:
    bool confirm(const ConfirmationRequest &request) override
    {
        ++asked;
        last = request;
        return answer();
    }

    std::function<bool()> answer = [] { return true; };
    int asked = 0;
    ConfirmationRequest last;
};

// A model of the scratch home against `service`, signed in, installing with the build tree's payload.
struct Tool
{
    explicit Tool(const QUrl &service, const QString &resources = bundleResources, double timeout = 45)
        : model(ClientAuthAPI(service))
        , prompt(std::make_shared<AnsweringPrompt>())
    {
        QCoro::waitFor(model.credentialStore().storeCredential(StandinService::validCredential));
        model.setInstallerResources(resources, timeout);
        model.setConfirmationPrompt(prompt);
        model.refreshInstalledPluginVersion();
    }

    void run(Operation operation)
    {
        QCoro::Task<> task = operation == Install       ? model.installOrRepairPlugin()
                             : operation == CacheRepair ? model.repairPluginFromCache()
                                                        : model.uninstallPlugin();
        awaitOutcome(std::move(task));
    }

    AuthToolModel model;
    std::shared_ptr<AnsweringPrompt> prompt;
};

QStringList logMessages()
{
    QFile file(ToolPaths::logFile());
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QStringList messages;
    for (const QString &line : QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts))
        messages.append(line.mid(QStringLiteral("[00:00:00] ").size()));
    return messages;
}

QByteArray fileBytes(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool isWellFormedXml(const QString &text)
{
    QXmlStreamReader reader(text);
    while (!reader.atEnd())
        reader.readNext();
    return !reader.hasError();
}

// Only another add-in in WPS: its directory and its entries in both lists.
void installOtherAddinOnly(const FakeWpsAddons &addons)
{
    const QString other = QStringLiteral("OtherAddin_1.0");
    addons.addPackage(other);
    addons.writePublishXml({{FakeWpsAddons::otherAddinName, addons.packageUrl(other), "1.0", "wps", false, true}});
    addons.writeAuthAddinJson({{"et", FakeWpsAddons::authGroup({{other, FakeWpsAddons::otherAddinName, addons.filePath(other)}})}});
}

} // namespace

class tst_PluginInstall : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void installUpdateUninstallEndToEnd();
    void runningWpsBlocks_data();
    void runningWpsBlocks();
    void failedScriptKeepsPreviousAddin_data();
    void failedScriptKeepsPreviousAddin();
    void twoQuickClicksStartOneInstall();
    void unreachableServiceNeverUsesCache();
    void uninstallCancelledOrFailing();
    void oneOperationAcrossProcesses();
    void completionMessage_data();
    void completionMessage();
};

void tst_PluginInstall::installUpdateUninstallEndToEnd()
{
    ScratchHome home;
    FakeWpsAddons addons;
    installOtherAddinOnly(addons);
    const QJsonObject otherAuth = addons.readAuthAddinJson();
    const QString other = QStringLiteral("OtherAddin_1.0");
    {
        StandinService service({"--latest", "1.3.0"});
        QVERIFY2(service.isRunning(), qPrintable(service.errorOutput()));
        Tool tool(service.baseUrl());
        tool.run(Install);
        QCOMPARE(tool.model.operationMessage(), QStringLiteral("插件 1.3.0 已安装。请完全退出并重新打开 WPS 表格。"));
        QCOMPARE(tool.model.operationTone(), OperationTone::Success);
        QCOMPARE(addons.entryNames(), (QStringList{"CorvantaAnalysis_1.3.0", other, "authaddin.json", "publish.xml"}));
        QVERIFY(addons.readPublishXml().contains(
            "<jsplugin name=\"CorvantaAnalysis\" type=\"et\" url=\"" + addons.packageUrl("CorvantaAnalysis_1.3.0")
            + "\" version=\"1.3.0\"/>"));
        const QJsonObject group = addons.readAuthAddinJson().value("et").toObject();
        QCOMPARE(group.value("namelist").toString(), "CorvantaAnalysis_1.3.0;" + other);
        QCOMPARE(group.value("CorvantaAnalysis_1.3.0").toObject().value("path").toString(),
                 addons.filePath("CorvantaAnalysis_1.3.0"));
        QCOMPARE(tool.model.pluginInstallState(), PluginInstallState::UpToDate);
        QVERIFY(logMessages().contains(QStringLiteral("WPS 插件安装完成（1.3.0）")));

        tool.run(Install);
        QCOMPARE(tool.model.operationMessage(), QStringLiteral("插件已确认为最新版 1.3.0。"));
        QCOMPARE(addons.entryNames().filter("Corvanta"), QStringList{"CorvantaAnalysis_1.3.0"});
    }
    StandinService service;
    QVERIFY2(service.isRunning(), qPrintable(service.errorOutput()));
    Tool tool(service.baseUrl());
    tool.run(Install);
    QCOMPARE(tool.model.operationMessage(),
             QStringLiteral("插件已从 1.3.0 更新到 1.4.2。请完全退出并重新打开 WPS 表格。"));
    QCOMPARE(addons.entryNames(), (QStringList{"CorvantaAnalysis_1.4.2", other, "authaddin.json", "publish.xml"}));
    QCOMPARE(addons.readPublishXml().count("CorvantaAnalysis_"), 1);

    tool.run(Uninstall);
    QCOMPARE(tool.prompt->last.messageText, QStringLiteral("卸载 Corvanta分析插件？"));
    QCOMPARE(tool.prompt->last.informativeText,
             QStringLiteral("只会移除 WPS 表格中的 CorvantaAnalysis 加载项，不会删除管理工具或其他内容。"));
    QCOMPARE(tool.prompt->last.confirmButton, QStringLiteral("卸载"));
    QCOMPARE(tool.prompt->last.cancelButton, QStringLiteral("取消"));
    QCOMPARE(tool.model.operationMessage(), QStringLiteral("插件已卸载。完全退出并重新打开 WPS 后生效。"));
    QCOMPARE(addons.entryNames(), (QStringList{other, "authaddin.json", "publish.xml"}));
    QVERIFY(!addons.readPublishXml().contains("Corvanta"));
    QVERIFY(addons.readPublishXml().contains(addons.packageUrl(other)));
    QVERIFY(isWellFormedXml(addons.readPublishXml()));
    QCOMPARE(addons.readAuthAddinJson(), otherAuth);
    QVERIFY(tool.model.installedPluginVersionPublished().isNull());
    QCOMPARE(tool.model.pluginInstallState(), PluginInstallState::NotInstalled);
    QCOMPARE(logMessages().filter("卸载"), (QStringList{"开始卸载 WPS 插件", "WPS 插件卸载完成"}));
}

void tst_PluginInstall::runningWpsBlocks_data()
{
    QTest::addColumn<int>("operation");
    QTest::addColumn<QString>("bundleName");
    QTest::addColumn<QString>("executable");
    QTest::addColumn<QString>("identifier");
    QTest::addColumn<QString>("label"); // empty: not WPS, the uninstall goes on to its question

    QTest::newRow("install") << int(Install) << "wps.app" << "wpsoffice" << "com.kingsoft.wpsoffice.mac" << "安装/修复";
    QTest::newRow("cache repair") << int(CacheRepair) << "wps.app" << "wpsoffice" << "com.kingsoft.wpsoffice.mac"
                                  << "用本机缓存修复";
    QTest::newRow("uninstall") << int(Uninstall) << "wps.app" << "wpsoffice" << "com.kingsoft.wpsoffice.mac" << "卸载";
    QTest::newRow("WPS Office Helper is not WPS") << int(Uninstall) << "" << "WPS Office Helper" << "" << "";
}

void tst_PluginInstall::runningWpsBlocks()
{
    QFETCH(int, operation);
    QFETCH(QString, bundleName);
    QFETCH(QString, executable);
    QFETCH(QString, identifier);
    QFETCH(QString, label);
    ScratchHome home;
    FakeWpsAddons addons;
    addons.installTypical("1.3.0");
    FakeWpsAddons::writePackage(ToolPaths::pluginPackageCacheDir(), "CorvantaAnalysis_1.4.2",
                                FakePackage().version("1.4.2"));
    const QStringList before = addons.entryNames();
    FakeRunningBundle wps(home.path(), bundleName, executable, identifier);
    QVERIFY(wps.start());
    Tool tool{QUrl(unreachableService)};
    tool.prompt->answer = [] { return false; };

    tool.run(Operation(operation));
    if (label.isEmpty()) {
        QCOMPARE(tool.prompt->asked, 1);
        QCOMPARE(tool.model.operationToken(), 0u);
        return;
    }
    QCOMPARE(tool.model.operationMessage(), "请先完全退出 WPS 表格，再点击“" + label + "”。");
    QCOMPARE(tool.model.operationTone(), OperationTone::Error);
    QCOMPARE(logMessages(), QStringList{label + "已拦截：WPS 正在运行"});
    QCOMPARE(tool.prompt->asked, 0);
    QVERIFY(!tool.model.isInstalling() && !tool.model.isUninstalling());
    QCOMPARE(addons.entryNames(), before);
}

void tst_PluginInstall::failedScriptKeepsPreviousAddin_data()
{
    QTest::addColumn<QByteArray>("script"); // empty: the build tree's real payload
    QTest::addColumn<QByteArray>("authaddin"); // written over the previous install's when not empty
    QTest::addColumn<QString>("message");

    QTest::newRow("exit 1 with one line") << QByteArray("printf '磁盘空间不足，无法复制插件。\\n'\nexit 1\n") << QByteArray()
                                          << QStringLiteral("安装失败：磁盘空间不足，无法复制插件。\n");
    QTest::newRow("hangs until the timeout") << QByteArray("printf '正在复制'\nsleep 30\n") << QByteArray()
                                             << QStringLiteral("安装失败：正在复制\n操作超时，请完全退出 WPS 表格后重试。");
    QTest::newRow("fails silently") << QByteArray("exit 3\n") << QByteArray()
                                    << QStringLiteral("安装失败：WPS 插件安装脚本执行失败。");
    QTest::newRow("no payload") << QByteArray("-") << QByteArray()
                                << QStringLiteral("安装失败：安装包缺少 WPS 插件 Payload，请重新下载正式安装包。");
    QTest::newRow("real script, registry not JSON") << QByteArray() << QByteArray("{\"et\": ")
                                                    << QStringLiteral("安装失败：未能读取数据，因为它的格式不正确。\n");
}

void tst_PluginInstall::failedScriptKeepsPreviousAddin()
{
    QFETCH(QByteArray, script);
    QFETCH(QByteArray, authaddin);
    QFETCH(QString, message);
    ScratchHome home;
    FakeWpsAddons addons;
    addons.installTypical("1.3.0");
    if (!authaddin.isEmpty())
        addons.writeAuthAddinJsonText(authaddin);
    const QStringList entries = addons.entryNames();
    const QByteArray publish = fileBytes(addons.filePath("publish.xml"));
    const QByteArray auth = fileBytes(addons.filePath("authaddin.json"));
    QTemporaryDir resources;
    if (script != "-" && !script.isEmpty()) {
        QVERIFY(QDir().mkpath(resources.filePath("Payload/installers")));
        QFile file(resources.filePath("Payload/installers/install-corvanta-wps-analysis-macos.command"));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(script);
    }
    StandinService service;
    QVERIFY2(service.isRunning(), qPrintable(service.errorOutput()));
    Tool tool(service.baseUrl(), script.isEmpty() ? bundleResources : resources.path(), 1.0);

    tool.run(Install);
    QCOMPARE(tool.model.operationMessage(), message);
    QCOMPARE(tool.model.operationTone(), OperationTone::Error);
    QVERIFY(QString::fromUtf8(fileBytes(ToolPaths::logFile())).contains("] " + message));
    QCOMPARE(tool.model.installedPluginVersionPublished(), QStringLiteral("1.3.0"));
    QVERIFY(!tool.model.isInstalling());
    QCOMPARE(addons.entryNames(), entries);
    QCOMPARE(fileBytes(addons.filePath("publish.xml")), publish);
    QCOMPARE(fileBytes(addons.filePath("authaddin.json")), auth);
}

void tst_PluginInstall::twoQuickClicksStartOneInstall()
{
    ScratchHome home;
    StandinService service;
    QVERIFY2(service.isRunning(), qPrintable(service.errorOutput()));
    Tool tool(service.baseUrl());
    QCoro::Task<> first = tool.model.installOrRepairPlugin();
    QCoro::Task<> second = tool.model.installOrRepairPlugin();
    QVERIFY(tool.model.isInstalling());
    awaitOutcome(std::move(second));
    awaitOutcome(std::move(first));

    QCOMPARE(tool.model.operationMessage(), QStringLiteral("插件 1.4.2 已安装。请完全退出并重新打开 WPS 表格。"));
    QCOMPARE(logMessages().filter("开始安装").size(), 1);
    QCOMPARE(service.requests().filter("GET /downloads/").size(), 1);
}

void tst_PluginInstall::unreachableServiceNeverUsesCache()
{
    ScratchHome home;
    FakeWpsAddons::writePackage(ToolPaths::pluginPackageCacheDir(), "CorvantaAnalysis_1.4.2",
                                FakePackage().version("1.4.2"));
    Tool tool{QUrl(unreachableService)};
    tool.run(Install);
    QCOMPARE(tool.model.operationMessage(),
             QStringLiteral("安装失败：无法连接 Corvanta 服务，请检查网络后重试。如需应急使用旧缓存，请在「更多」中选择「用本机缓存修复」。"));
    QCOMPARE(logMessages().filter("远端插件包获取失败，未自动使用本机缓存：").size(), 1);
    QVERIFY(!QFileInfo::exists(ToolPaths::addonDir()));
}

void tst_PluginInstall::uninstallCancelledOrFailing()
{
    ScratchHome home;
    FakeWpsAddons addons;
    addons.installTypical("1.4.2");
    Tool tool{QUrl(unreachableService)};
    bool busyWhileAsked = false;
    tool.prompt->answer = [&] {
        busyWhileAsked = tool.model.isUninstalling();
        awaitOutcome(tool.model.uninstallPlugin()); // a second start while the question is open
        return false;
    };
    tool.run(Uninstall);
    QVERIFY(busyWhileAsked);
    QCOMPARE(tool.prompt->asked, 1);
    QCOMPARE(tool.model.operationToken(), 0u);
    QVERIFY(!tool.model.isUninstalling());
    QVERIFY(logMessages().isEmpty());

    const QByteArray broken = "{\"et\": [";
    addons.writeAuthAddinJsonText(broken);
    tool.prompt->answer = [] { return true; };
    tool.run(Uninstall);
    QCOMPARE(tool.model.operationMessage(), QStringLiteral("卸载失败：未能读取数据，因为它的格式不正确。"));
    QCOMPARE(tool.model.operationTone(), OperationTone::Error);
    QCOMPARE(logMessages().last(), QStringLiteral("卸载失败：未能读取数据，因为它的格式不正确。"));
    QCOMPARE(addons.entryNames(), (QStringList{"OtherAddin_1.0", "authaddin.json", "publish.xml"}));
    QVERIFY(!addons.readPublishXml().contains("Corvanta"));
    QCOMPARE(fileBytes(addons.filePath("authaddin.json")), broken);
}

void tst_PluginInstall::oneOperationAcrossProcesses()
{
    ScratchHome home;
    FakeWpsAddons addons;
    addons.installTypical("1.4.2");
    Tool tool{QUrl(unreachableService)};
    {
        const auto held = OperationLock::acquire();
        tool.run(Uninstall);
        QCOMPARE(tool.model.operationMessage(), QStringLiteral("卸载失败：另一项插件操作正在进行，请等它完成后再试。"));
        tool.run(Install);
        QCOMPARE(tool.model.operationMessage(), QStringLiteral("安装失败：另一项插件操作正在进行，请等它完成后再试。"));
    }
    QVERIFY(addons.entryNames().contains("CorvantaAnalysis_1.4.2"));

    // A copy that died holding the lock does not block the next one.
    const pid_t child = ::fork();
    if (child == 0) {
        OperationLock::acquire().release();
        ::_exit(0);
    }
    QVERIFY(child > 0);
    QCOMPARE(::waitpid(child, nullptr, 0), child);
    QVERIFY(QFile::exists(OperationLock::lockFilePath()));
    tool.run(Uninstall);
    QCOMPARE(tool.model.operationMessage(), QStringLiteral("插件已卸载。完全退出并重新打开 WPS 后生效。"));
}

void tst_PluginInstall::completionMessage_data()
{
    QTest::addColumn<QString>("before");
    QTest::addColumn<QString>("after");
    QTest::addColumn<QString>("message");

    QTest::newRow("nothing before") << QString() << "1.2.0" << "插件 1.2.0 已安装。请完全退出并重新打开 WPS 表格。";
    QTest::newRow("blank before") << " \n" << "1.2.0" << "插件 1.2.0 已安装。请完全退出并重新打开 WPS 表格。";
    QTest::newRow("same, blanks trimmed") << " 1.2.0" << "1.2.0\n" << "插件已确认为最新版 1.2.0。";
    QTest::newRow("same, letter case") << "V1.2.0" << "v1.2.0" << "插件已确认为最新版 v1.2.0。";
    QTest::newRow("update") << "1.1.0" << "1.2.0" << "插件已从 1.1.0 更新到 1.2.0。请完全退出并重新打开 WPS 表格。";
}

void tst_PluginInstall::completionMessage()
{
    QFETCH(QString, before);
    QFETCH(QString, after);
    QFETCH(QString, message);
    QCOMPARE(AuthToolModel::installCompletionMessage(before, after), message);
}

QTEST_GUILESS_MAIN(tst_PluginInstall)
#include "tst_plugininstall.moc"
