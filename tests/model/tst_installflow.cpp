#include "model/InstallFlow.h"
#include "core/Failure.h"
#include "core/ToolPaths.h"

#include "FakeWpsAddons.h"
#include "ScratchHome.h"
#include "StandinService.h"
#include "TaskOutcome.h"

#include <QTest>

#include <optional>

Q_DECLARE_METATYPE(FailureKind)

class tst_InstallFlow : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void completionMessage_data();
    void completionMessage();
    void refusedBeforeAnyChange_data();
    void refusedBeforeAnyChange();
};

void tst_InstallFlow::completionMessage_data()
{
    QTest::addColumn<QString>("before");
    QTest::addColumn<QString>("after");
    QTest::addColumn<QString>("message");
    QTest::newRow("first install") << QString() << "1.2.0" << "插件 1.2.0 已安装。请完全退出并重新打开 WPS 表格。";
    QTest::newRow("blank before") << " \n" << "1.2.0" << "插件 1.2.0 已安装。请完全退出并重新打开 WPS 表格。";
    QTest::newRow("same, blank around") << " 1.2.0" << "1.2.0\n" << "插件已确认为最新版 1.2.0。";
    QTest::newRow("same, other case") << "V1.2.0" << "v1.2.0" << "插件已确认为最新版 v1.2.0。";
    QTest::newRow("update") << "1.1.0" << "1.2.0" << "插件已从 1.1.0 更新到 1.2.0。请完全退出并重新打开 WPS 表格。";
}

void tst_InstallFlow::completionMessage()
{
    QFETCH(QString, before);
    QFETCH(QString, after);
    QFETCH(QString, message);
    QCOMPARE(InstallFlow::completionMessage(before, after), message);
}

// Each way an install stops before the installer runs: its kind, its log lines, and WPS's add-in
// folder as it was.
void tst_InstallFlow::refusedBeforeAnyChange_data()
{
    QTest::addColumn<bool>("fromCache");
    QTest::addColumn<bool>("online");
    QTest::addColumn<bool>("signedIn");
    QTest::addColumn<bool>("serviceRuns");
    QTest::addColumn<FailureKind>("kind");
    QTest::addColumn<QStringList>("log");

    QTest::newRow("offline") << false << false << true << true << FailureKind::Offline << QStringList();
    QTest::newRow("service unreachable") << false << true << true << false << FailureKind::ServiceUnreachable
        << QStringList{"远端插件包获取失败，未自动使用本机缓存：未能连接到服务器。"};
    QTest::newRow("not signed in") << false << true << false << true << FailureKind::NotSignedIn << QStringList();
    QTest::newRow("empty cache, offline") << true << false << true << false << FailureKind::NoCachedPackage << QStringList();
}

void tst_InstallFlow::refusedBeforeAnyChange()
{
    QFETCH(bool, fromCache);
    QFETCH(bool, online);
    QFETCH(bool, signedIn);
    QFETCH(bool, serviceRuns);
    QFETCH(FailureKind, kind);
    QFETCH(QStringList, log);
    ScratchHome home;
    FakeWpsAddons addons;
    addons.installTypical(QStringLiteral("1.3.0"));
    const QStringList before = addons.entryNames();
    std::optional<StandinService> service;
    if (serviceRuns)
        service.emplace();
    const ClientAuthAPI api(serviceRuns ? service->baseUrl() : QUrl(QStringLiteral("http://127.0.0.1:9")));
    const AccountCredentialStore store;
    if (signedIn)
        QCoro::waitFor(store.storeCredential(StandinService::validCredential));
    QStringList lines;
    QObject owner;
    const InstallFlow flow(api, store, &owner, {}, {[&lines](const QString &line) { lines.append(line); }, [](qint64, qint64) {}});

    const auto outcome = fromCache ? awaitOutcome(flow.installFromCache()) : awaitOutcome(flow.installFromService(online));
    QCOMPARE(failureKind(outcome.exception), kind);
    QCOMPARE(lines, log);
    QCOMPARE(addons.entryNames(), before);
    if (serviceRuns)
        QVERIFY(service->requests().filter(QStringLiteral("/downloads/")).isEmpty());
}

QTEST_GUILESS_MAIN(tst_InstallFlow)
#include "tst_installflow.moc"
