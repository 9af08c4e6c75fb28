#include "platform/RunningApplications.h"

#include "FakeRunningBundle.h"

#include <QTemporaryDir>
#include <QTest>

namespace {

std::optional<RunningApplication> findPid(qint64 pid)
{
    for (const RunningApplication &application : RunningApplications::list()) {
        if (application.pid == pid)
            return application;
    }
    return std::nullopt;
}

} // namespace

class tst_RunningApplications : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void listsIdentifierAndName_data();
    void listsIdentifierAndName();
    void terminateAndForce();
};

void tst_RunningApplications::listsIdentifierAndName_data()
{
    QTest::addColumn<QString>("bundleName");
    QTest::addColumn<QString>("executable");
    QTest::addColumn<QString>("identifier");
    QTest::addColumn<QString>("displayName");
    QTest::addColumn<QString>("expectedName");

    QTest::newRow("bundle with a name") << "wps.app" << "wpsoffice" << "com.kingsoft.wpsoffice.mac"
                                        << "WPS Office" << "WPS Office";
    QTest::newRow("bundle without a name") << "Other.app" << "other-helper" << "com.example.other" << ""
                                           << "other-helper";
    // Longer than the kernel's 15-character process name: the executable's file name counts.
    QTest::newRow("no bundle") << "" << "WPS Office Helper" << "" << "" << "WPS Office Helper";
}

void tst_RunningApplications::listsIdentifierAndName()
{
    QFETCH(QString, bundleName);
    QFETCH(QString, executable);
    QFETCH(QString, identifier);
    QFETCH(QString, displayName);
    QFETCH(QString, expectedName);
    QTemporaryDir dir;
    FakeRunningBundle fake(dir.path(), bundleName, executable, identifier, displayName);
    QVERIFY(fake.start());

    const std::optional<RunningApplication> found = findPid(fake.pid());
    QVERIFY(found);
    QCOMPARE(found->bundleIdentifier, identifier);
    QCOMPARE(found->localizedName, expectedName);
    QCOMPARE(found->bundlePath, fake.bundlePath());
    QCOMPARE(found->executablePath, fake.executablePath());
}

void tst_RunningApplications::terminateAndForce()
{
    QTemporaryDir dir;
    FakeRunningBundle polite(dir.path(), QStringLiteral("A.app"), QStringLiteral("a"), QStringLiteral("com.example.a"));
    QVERIFY(polite.start());
    QVERIFY(!RunningApplications::isTerminated(polite.pid()));
    QVERIFY(RunningApplications::terminate(polite.pid()));
    QVERIFY(polite.process().waitForFinished(5000));
    QCOMPARE(polite.process().exitStatus(), QProcess::CrashExit);

    // A program that ignores SIGTERM ends only when forced.
    FakeRunningBundle stubborn(dir.path(), QStringLiteral("B.app"), QStringLiteral("b"), QStringLiteral("com.example.b"),
                               {}, QStringLiteral("/bin/bash"));
    QVERIFY(stubborn.start({QStringLiteral("-c"), QStringLiteral("trap '' TERM; sleep 60 & wait; sleep 60")}));
    const qint64 pid = stubborn.pid();
    QTest::qWait(200);
    QVERIFY(RunningApplications::terminate(pid));
    QTest::qWait(300);
    QVERIFY(!RunningApplications::isTerminated(pid));
    QVERIFY(RunningApplications::forceTerminate(pid));
    QTRY_VERIFY(RunningApplications::isTerminated(pid));
    QVERIFY(RunningApplications::isTerminated(0));
}

QTEST_GUILESS_MAIN(tst_RunningApplications)
#include "tst_runningapplications.moc"
