#include "model/AuthToolModel.h"
#include "core/ConfirmationPrompt.h"
#include "core/ToolPaths.h"

#include "FakeWpsAddons.h"
#include "ScratchHome.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

namespace {

QByteArray logBytes()
{
    QFile log(ToolPaths::logFile());
    return log.open(QIODevice::ReadOnly) ? log.readAll() : QByteArray();
}

// An installer payload whose script takes its time and changes nothing.
bool writeSlowPayload(const QTemporaryDir &resources)
{
    QDir().mkpath(resources.filePath(QStringLiteral("Payload/installers")));
    QFile script(resources.filePath(QStringLiteral("Payload/installers/install-corvanta-wps-analysis-macos.command")));
    return script.open(QIODevice::WriteOnly) && script.write("sleep 0.3\n") > 0;
}

struct Declining : ConfirmationPrompt
{
    bool confirm(const ConfirmationRequest &) override { return ++asked, false; }
    int asked = 0;
};

} // namespace

class tst_AuthToolModel : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initialState();
    void messagesClearOnlyTheirOwn();
    void emptyMessageAdvancesToken();
    void thrownErrorResetsBusyFlagAndReports();
    void busyOperationIsIgnored();
    void refusingGateLeavesNoTrace();
};

void tst_AuthToolModel::initialState()
{
    AuthToolModel model;
    QVERIFY(!model.isInstalling());
    QVERIFY(!model.isUninstalling());
    QVERIFY(model.isOnline());
    QCOMPARE(model.networkLabel(), QStringLiteral("在线"));
    QVERIFY(model.operationMessage().isEmpty());
    QCOMPARE(model.operationTone(), OperationTone::Info);
    QCOMPARE(model.operationToken(), 0u);
    QVERIFY(model.installedPluginVersionPublished().isNull());
    QVERIFY(model.latestPluginVersion().isNull());
    QCOMPARE(model.pluginInstallState(), PluginInstallState::Unknown);
}

// The three timing cases run side by side on their own models, so the suite waits about six
// seconds once instead of three times.
void tst_AuthToolModel::messagesClearOnlyTheirOwn()
{
    AuthToolModel alone, infoThenInfo, infoThenError, errorThenInfo;
    QElapsedTimer sinceFirst;
    sinceFirst.start();
    alone.showOperation(QStringLiteral("完成"), OperationTone::Success);
    infoThenInfo.showOperation(QStringLiteral("第一条"), OperationTone::Info);
    infoThenError.showOperation(QStringLiteral("进行中"), OperationTone::Info);
    errorThenInfo.showOperation(QStringLiteral("出错"), OperationTone::Error);

    QTest::qWait(2000);
    infoThenInfo.showOperation(QStringLiteral("第二条"), OperationTone::Info);
    infoThenError.showOperation(QStringLiteral("失败"), OperationTone::Error);
    errorThenInfo.showOperation(QStringLiteral("提示"), OperationTone::Info);

    // A timer never fires early, so the time it took is at least the 4 s; the bound above is loose
    // because a loaded machine may deliver it late.
    QTRY_VERIFY_WITH_TIMEOUT(alone.operationMessage().isEmpty(), 4000);
    QVERIFY2(sinceFirst.elapsed() >= 4000, qPrintable(QString::number(sinceFirst.elapsed())));
    QCOMPARE(infoThenInfo.operationMessage(), QStringLiteral("第二条"));
    QCOMPARE(infoThenError.operationMessage(), QStringLiteral("失败"));
    QCOMPARE(errorThenInfo.operationMessage(), QStringLiteral("提示"));

    QTRY_VERIFY_WITH_TIMEOUT(infoThenInfo.operationMessage().isEmpty(), 4500);
    QVERIFY(errorThenInfo.operationMessage().isEmpty());
    QCOMPARE(errorThenInfo.operationTone(), OperationTone::Info);
    QCOMPARE(infoThenError.operationMessage(), QStringLiteral("失败"));
    QCOMPARE(infoThenError.operationTone(), OperationTone::Error);
}

void tst_AuthToolModel::emptyMessageAdvancesToken()
{
    AuthToolModel model;
    QSignalSpy messages(&model, &AuthToolModel::operationMessageChanged);
    model.showOperation(QString(), OperationTone::Success);
    QCOMPARE(model.operationToken(), 1u);
    QVERIFY(model.operationMessage().isEmpty());
    QCOMPARE(model.operationTone(), OperationTone::Success);
    QCOMPARE(messages.size(), 1);
}

void tst_AuthToolModel::thrownErrorResetsBusyFlagAndReports()
{
    ScratchHome home;
    AuthToolModel model;
    QSignalSpy busy(&model, &AuthToolModel::isInstallingChanged);
    // The cache is empty: the work throws after the flag was set and the start was shown.
    const OperationOutcome outcome = QCoro::waitFor(model.repairPluginFromCache());

    QCOMPARE(outcome.result(), OperationOutcome::Result::Failed);
    QCOMPARE(outcome.kind(), FailureKind::NoCachedPackage);
    QVERIFY(!model.isInstalling());
    QCOMPARE(busy.size(), 2);
    QCOMPARE(busy.at(0).at(0).toBool(), true);
    QCOMPARE(model.operationMessage(), QStringLiteral("缓存修复失败：本机没有可用插件包缓存。请联网后点击安装或更新。"));
    QCOMPARE(model.operationTone(), OperationTone::Error);
    QVERIFY(logBytes().endsWith(QStringLiteral("] 缓存修复失败：本机没有可用插件包缓存。请联网后点击安装或更新。\n").toUtf8()));
}

void tst_AuthToolModel::busyOperationIsIgnored()
{
    ScratchHome home;
    FakeWpsAddons::writePackage(ToolPaths::pluginPackageCacheDir(), QStringLiteral("CorvantaAnalysis_1.4.2"),
                                FakePackage().version(QStringLiteral("1.4.2")));
    QTemporaryDir resources;
    QVERIFY(writeSlowPayload(resources));
    AuthToolModel model;
    model.setInstallerResources(resources.path());
    QCoro::Task<OperationOutcome> running = model.repairPluginFromCache();
    QVERIFY(model.isInstalling());

    // Install and cache repair share the flag: the second start returns at once, without a trace.
    const quint64 tokenBefore = model.operationToken();
    const QByteArray logBefore = logBytes();
    const OperationOutcome second = QCoro::waitFor(model.installOrRepairPlugin());
    QCOMPARE(second.result(), OperationOutcome::Result::Refused);
    QCOMPARE(second.gate(), OperationOutcome::Gate::Busy);
    QCOMPARE(model.operationToken(), tokenBefore);
    QCOMPARE(logBytes(), logBefore);

    QCOMPARE(QCoro::waitFor(std::move(running)).result(), OperationOutcome::Result::Done);
    QVERIFY(!model.isInstalling());
    QCOMPARE(model.operationMessage(), QStringLiteral("已用本机缓存 1.4.2 修复，联网后请检查更新。"));
}

void tst_AuthToolModel::refusingGateLeavesNoTrace()
{
    ScratchHome home;
    FakeWpsAddons addons;
    addons.installTypical(QStringLiteral("1.4.2"));
    const QStringList before = addons.entryNames();
    AuthToolModel model;
    auto prompt = std::make_shared<Declining>();
    model.setConfirmationPrompt(prompt);

    const OperationOutcome outcome = QCoro::waitFor(model.uninstallPlugin());
    QCOMPARE(prompt->asked, 1);
    QCOMPARE(outcome.result(), OperationOutcome::Result::Refused);
    QCOMPARE(outcome.gate(), OperationOutcome::Gate::NotConfirmed);
    QVERIFY(!model.isUninstalling());
    QCOMPARE(model.operationToken(), 0u);
    QCOMPARE(logBytes(), QByteArray());
    QCOMPARE(addons.entryNames(), before);
}

QTEST_GUILESS_MAIN(tst_AuthToolModel)
#include "tst_authtoolmodel.moc"
