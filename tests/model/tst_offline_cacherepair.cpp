#include "core/ToolPaths.h"
#include "model/AuthToolModel.h"

#include "FakeWpsAddons.h"
#include "ScratchHome.h"
#include "TaskOutcome.h"

#include <QFile>
#include <QTest>

// Runs inside a network namespace without a route (see in-offline-namespace.sh): the cache repair
// needs no service, and the online install refuses before asking for one.
namespace {

const QString bundleResources = QStringLiteral(TEST_BUNDLE_DIR "/Contents/Resources");

QString logText()
{
    QFile file(ToolPaths::logFile());
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

} // namespace

class tst_OfflineCacheRepair : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void repairsFromCacheOffline();
};

void tst_OfflineCacheRepair::repairsFromCacheOffline()
{
    ScratchHome home;
    AuthToolModel model{ClientAuthAPI(QUrl(QStringLiteral("http://127.0.0.1:9")))};
    model.setInstallerResources(bundleResources);
    QTRY_VERIFY_WITH_TIMEOUT(!model.isOnline(), 10000);

    awaitOutcome(model.installOrRepairPlugin());
    QCOMPARE(model.operationMessage(),
             QStringLiteral("安装失败：当前离线，安装或更新需要连接 Corvanta 服务。如需应急使用旧缓存，请在「更多」中选择「用本机缓存修复」。"));
    awaitOutcome(model.repairPluginFromCache());
    QCOMPARE(model.operationMessage(), QStringLiteral("缓存修复失败：本机没有可用插件包缓存。请联网后点击安装或更新。"));
    QVERIFY(!QFileInfo::exists(ToolPaths::addonDir()));

    FakeWpsAddons::writePackage(ToolPaths::pluginPackageCacheDir(), QStringLiteral("CorvantaAnalysis_1.1.0"),
                                FakePackage().version(QStringLiteral("1.1.0")));
    awaitOutcome(model.repairPluginFromCache());
    QCOMPARE(model.operationMessage(), QStringLiteral("已用本机缓存 1.1.0 修复，联网后请检查更新。"));
    QCOMPARE(model.operationTone(), OperationTone::Warning);
    QCOMPARE(model.installedPluginVersionPublished(), QStringLiteral("1.1.0"));
    const FakeWpsAddons addons;
    QCOMPARE(addons.entryNames(), (QStringList{"CorvantaAnalysis_1.1.0", "authaddin.json", "publish.xml"}));
    QVERIFY(addons.readPublishXml().contains(addons.packageUrl(QStringLiteral("CorvantaAnalysis_1.1.0"))));
    QVERIFY(logText().contains(QStringLiteral("] 开始用本机缓存修复 WPS 插件\n")));
    QVERIFY(logText().endsWith(QStringLiteral("] 本机缓存修复完成（1.1.0）\n")));
}

QTEST_GUILESS_MAIN(tst_OfflineCacheRepair)
#include "tst_offline_cacherepair.moc"
