#include "model/AuthToolModel.h"
#include "core/ToolPaths.h"
#include "core/Failure.h"

#include <QElapsedTimer>
#include <QFile>
#include <QCoro/QCoroTimer>
#include <QSignalSpy>
#include <QTest>

#include <chrono>

using namespace std::chrono_literals;

namespace {

// Exposes the operation pattern so the suite can run operations of its own.
class OperationModel : public AuthToolModel
{
public:
    using AuthToolModel::BusyFlag;
    using AuthToolModel::isBusy;
    using AuthToolModel::OperationSteps;
    using AuthToolModel::runOperation;
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
    OperationModel model;
    QSignalSpy busy(&model, &AuthToolModel::isInstallingChanged);
    OperationModel::OperationSteps steps;
    steps.flag = OperationModel::BusyFlag::Installing;
    steps.progressMessage = QStringLiteral("正在安装...");
    steps.startLogLine = QStringLiteral("开始安装");
    steps.failurePrefix = QStringLiteral("安装失败：");
    bool busyDuringWork = false;
    steps.work = [&model, &busyDuringWork]() -> QCoro::Task<> {
        busyDuringWork = model.isInstalling();
        co_await QCoro::sleepFor(10ms);
        throw Failure(FailureKind::IncompletePackage);
    };
    QCoro::waitFor(model.runOperation(steps));

    QVERIFY(busyDuringWork);
    QVERIFY(!model.isInstalling());
    QCOMPARE(busy.size(), 2);
    QCOMPARE(model.operationMessage(), QStringLiteral("安装失败：插件包结构不完整，请重新下载。"));
    QCOMPARE(model.operationTone(), OperationTone::Error);
    QFile log(ToolPaths::logFile());
    QVERIFY(log.open(QIODevice::ReadOnly));
    QVERIFY(log.readAll().endsWith(QStringLiteral("] 安装失败：插件包结构不完整，请重新下载。\n").toUtf8()));
}

void tst_AuthToolModel::busyOperationIsIgnored()
{
    OperationModel model;
    int secondRuns = 0;
    OperationModel::OperationSteps first;
    first.flag = OperationModel::BusyFlag::Installing;
    first.progressMessage = QStringLiteral("正在安装...");
    first.work = []() -> QCoro::Task<> { co_await QCoro::sleepFor(200ms); };
    auto running = model.runOperation(first);
    QVERIFY(model.isInstalling());

    OperationModel::OperationSteps second = first;
    second.progressMessage = QStringLiteral("第二次");
    second.work = [&secondRuns]() -> QCoro::Task<> {
        ++secondRuns;
        co_return;
    };
    const quint64 tokenBefore = model.operationToken();
    QCoro::waitFor(model.runOperation(second));
    QCOMPARE(secondRuns, 0);
    QCOMPARE(model.operationToken(), tokenBefore);

    QCoro::waitFor(std::move(running));
    QVERIFY(!model.isInstalling());
}

void tst_AuthToolModel::refusingGateLeavesNoTrace()
{
    OperationModel model;
    bool worked = false;
    OperationModel::OperationSteps steps;
    steps.flag = OperationModel::BusyFlag::Uninstalling;
    steps.gate = [] { return false; };
    steps.work = [&worked]() -> QCoro::Task<> {
        worked = true;
        co_return;
    };
    QCoro::waitFor(model.runOperation(steps));
    QVERIFY(!worked);
    QVERIFY(!model.isUninstalling());
    QCOMPARE(model.operationToken(), 0u);
}

QTEST_GUILESS_MAIN(tst_AuthToolModel)
#include "tst_authtoolmodel.moc"
