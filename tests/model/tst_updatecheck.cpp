#include "FakeWpsAddons.h"
#include "ScratchHome.h"
#include "StandinService.h"
#include "StagedModel.h"

#include "model/AuthToolModel.h"
#include "core/ToolPaths.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QSignalSpy>
#include <QTest>

#include <optional>

namespace {

QString logText()
{
    QFile file(ToolPaths::logFile());
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

} // namespace

class tst_UpdateCheck : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void messageByState_data();
    void messageByState();
    void failureKeepsEarlierState();
    void silentRefreshOfflineSendsAndLogsNothing();
    void silentRefreshFailureIsOnlyLogged();
    void startUpQueryFillsStateAfterLaunch();
};

void tst_UpdateCheck::messageByState_data()
{
    QTest::addColumn<QString>("installed"); // null: nothing installed
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<PluginInstallState>("state");
    QTest::addColumn<QString>("message");
    QTest::addColumn<OperationTone>("tone");

    const QStringList latest142{QStringLiteral("--latest"), QStringLiteral("1.4.2")};
    QTest::newRow("not installed") << QString() << latest142 << PluginInstallState::NotInstalled
                                   << QStringLiteral("尚未安装插件，可点击「安装」从 1.4.2 开始。") << OperationTone::Info;
    QTest::newRow("update available") << QStringLiteral("1.3.0") << latest142 << PluginInstallState::UpdateAvailable
                                      << QStringLiteral("发现新版本 1.4.2，可点击「更新到 1.4.2」安装。")
                                      << OperationTone::Info;
    QTest::newRow("newer installed is an update too")
        << QStringLiteral("1.5.0") << latest142 << PluginInstallState::UpdateAvailable
        << QStringLiteral("发现新版本 1.4.2，可点击「更新到 1.4.2」安装。") << OperationTone::Info;
    QTest::newRow("up to date") << QStringLiteral("1.4.2") << latest142 << PluginInstallState::UpToDate
                                << QStringLiteral("本机插件已是最新版 1.4.2。") << OperationTone::Success;
    // A blank version passes decoding but says nothing comparable.
    QTest::newRow("blank latest version")
        << QStringLiteral("1.4.2") << QStringList{QStringLiteral("--descriptor-version"), QStringLiteral(" ")}
        << PluginInstallState::Unknown << QStringLiteral("检查更新完成（状态未知）。") << OperationTone::Info;
}

void tst_UpdateCheck::messageByState()
{
    QFETCH(QString, installed);
    QFETCH(QStringList, options);
    QFETCH(PluginInstallState, state);
    QFETCH(QString, message);
    QFETCH(OperationTone, tone);

    ScratchHome home;
    if (!installed.isNull()) {
        FakeWpsAddons addons;
        addons.addPackage(QStringLiteral("CorvantaAnalysis_") + installed);
    }
    StandinService service(options);
    QVERIFY2(service.isRunning(), qPrintable(service.errorOutput()));
    StagedModel staged{ClientAuthAPI(service.baseUrl())};
    AuthToolModel &model = staged.model;

    // The outcome reaches its awaiter even when the finished operation is deleted before the calls
    // queued with its end are delivered (as QTest's waits do when their time is up).
    QCoro::Task<OperationOutcome> check = model.checkForUpdates();
    QDeadlineTimer deadline(5000);
    while (model.operationMessage() != message && !deadline.hasExpired())
        QCoreApplication::sendPostedEvents();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(check.isReady());
    QVERIFY(QCoro::waitFor(std::move(check)).isDone());
    QCOMPARE(model.operationMessage(), message);
    QCOMPARE(model.pluginInstallState(), state);
    QCOMPARE(model.operationTone(), tone);
    QCOMPARE(model.installedPluginVersionPublished(), installed);
    QTRY_VERIFY(service.requests().contains(
        QStringLiteral("GET /api/client/software/vev-urir-odaderid/releases/latest?platform=darwin&channel=stable")));
    // Only the start is logged; a successful check adds nothing more.
    QVERIFY(logText().endsWith(QStringLiteral("] 用户触发检查更新\n")));
}

void tst_UpdateCheck::failureKeepsEarlierState()
{
    ScratchHome home;
    FakeWpsAddons addons;
    addons.addPackage(QStringLiteral("CorvantaAnalysis_1.4.2"));
    std::optional<StandinService> service(std::in_place, QStringList{QStringLiteral("--latest"), QStringLiteral("1.4.2")});
    StagedModel staged{ClientAuthAPI(service->baseUrl())};
    AuthToolModel &model = staged.model;
    QVERIFY(QCoro::waitFor(model.checkForUpdates()).isDone());
    QCOMPARE(model.pluginInstallState(), PluginInstallState::UpToDate);

    service.reset(); // nothing listens on that port any more
    const OperationOutcome outcome = QCoro::waitFor(model.checkForUpdates());
    QCOMPARE(outcome.result(), OperationOutcome::Result::Failed);
    QCOMPARE(outcome.kind(), FailureKind::ServiceUnreachable);
    QVERIFY2(model.operationMessage().startsWith(QStringLiteral("检查更新失败：")), qPrintable(model.operationMessage()));
    QCOMPARE(model.operationTone(), OperationTone::Error);
    QVERIFY(logText().endsWith(model.operationMessage() + QLatin1Char('\n')));
    QCOMPARE(model.pluginInstallState(), PluginInstallState::UpToDate);
    QCOMPARE(model.latestPluginVersion(), QStringLiteral("1.4.2"));
}

void tst_UpdateCheck::silentRefreshOfflineSendsAndLogsNothing()
{
    ScratchHome home;
    StandinService service;
    StagedModel staged{ClientAuthAPI(service.baseUrl())};
    AuthToolModel &model = staged.model;
    staged.setOnline(false);

    const OperationOutcome outcome = QCoro::waitFor(model.checkLatestPluginRelease());
    QCOMPARE(outcome.result(), OperationOutcome::Result::Refused);
    QCOMPARE(outcome.gate(), OperationOutcome::Gate::Offline);
    QVERIFY(service.requests().isEmpty());
    QVERIFY(!QFile::exists(ToolPaths::logFile()));
    QVERIFY(model.latestPluginVersion().isNull());
    QVERIFY(model.operationMessage().isEmpty());
}

void tst_UpdateCheck::silentRefreshFailureIsOnlyLogged()
{
    ScratchHome home;
    StandinService service({QStringLiteral("--status"), QStringLiteral("latest=503")});
    StagedModel staged{ClientAuthAPI(service.baseUrl())};
    AuthToolModel &model = staged.model;

    QCOMPARE(QCoro::waitFor(model.checkLatestPluginRelease()).result(), OperationOutcome::Result::Failed);
    QCOMPARE(model.operationToken(), 0u);
    QCOMPARE(model.pluginInstallState(), PluginInstallState::Unknown);
    QVERIFY2(logText().contains(QStringLiteral("] 查询最新插件版本失败（保留状态）：授权服务暂时不可用，请稍后重试；如果问题持续出现，请重新登录后再试。")),
             qPrintable(logText()));
}

void tst_UpdateCheck::startUpQueryFillsStateAfterLaunch()
{
    ScratchHome home;
    FakeWpsAddons addons;
    addons.addPackage(QStringLiteral("CorvantaAnalysis_1.3.0"));
    StandinService service({QStringLiteral("--latest"), QStringLiteral("1.4.2")});
    StagedModel staged{ClientAuthAPI(service.baseUrl())};
    AuthToolModel &model = staged.model;

    model.bootstrap();
    // The disk is read before bootstrap returns; the release answer comes later.
    QCOMPARE(model.installedPluginVersionPublished(), QStringLiteral("1.3.0"));
    QCOMPARE(model.pluginInstallState(), PluginInstallState::Unknown);
    QTRY_COMPARE(model.pluginInstallState(), PluginInstallState::UpdateAvailable);
    QCOMPARE(model.latestPluginVersion(), QStringLiteral("1.4.2"));
    QVERIFY(model.operationMessage().isEmpty());
}

QTEST_GUILESS_MAIN(tst_UpdateCheck)
#include "tst_updatecheck.moc"
