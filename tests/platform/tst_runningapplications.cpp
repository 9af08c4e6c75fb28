#include "platform/RunningApplications.h"

#include "FakeRunningBundle.h"

#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <sys/wait.h>
#include <unistd.h>

namespace {

std::optional<RunningApplication> findPid(qint64 pid)
{
    for (const RunningApplication &application : RunningApplications::list()) {
        if (application.pid == pid)
            return application;
    }
    return std::nullopt;
}

// Whether our child has reached the state, without reaping it; its status then goes to *status.
bool childReached(qint64 pid, int which, int *status)
{
    siginfo_t info = {};
    if (::waitid(P_PID, id_t(pid), &info, which | WNOHANG | WNOWAIT) != 0 || info.si_pid != pid_t(pid))
        return false;
    *status = info.si_status;
    return true;
}

} // namespace

class tst_RunningApplications : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void listsIdentifierAndName_data();
    void listsIdentifierAndName();
    void terminateAndForce();
    void unusualStates_data();
    void unusualStates();
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
    QVERIFY(stubborn.start({QStringLiteral("-c"), QStringLiteral("trap '' TERM; echo ignoring; sleep 60 & wait; sleep 60")}));
    const qint64 pid = stubborn.pid();
    QVERIFY(stubborn.process().waitForReadyRead(30000)); // the trap is in place
    QVERIFY(RunningApplications::terminate(pid));
    QTest::qWait(300);
    QVERIFY(!RunningApplications::isTerminated(pid));
    QVERIFY(RunningApplications::forceTerminate(pid));
    QTRY_VERIFY(RunningApplications::isTerminated(pid));
    QVERIFY(RunningApplications::isTerminated(0));
}

void tst_RunningApplications::unusualStates_data()
{
    QTest::addColumn<QString>("executable");
    QTest::addColumn<bool>("zombie"); // else stopped
    QTest::addColumn<bool>("listed");
    QTest::addColumn<bool>("terminated");

    // A stopped program still holds its files and may go on: it is running.
    QTest::newRow("stopped") << "sleeper" << false << true << false;
    // The process name sits in /proc/<pid>/stat between parentheses, before the state: a name
    // holding ") Z " must not be read as a state.
    QTest::newRow("stopped, a state in its name") << "a) Z (b" << false << true << false;
    // A zombie has ended: nothing to wait for, and no executable to match against WPS.
    QTest::newRow("zombie") << "finished" << true << false << true;
    QTest::newRow("zombie, a state in its name") << "x) S y" << true << false << true;
}

void tst_RunningApplications::unusualStates()
{
    QFETCH(QString, executable);
    QFETCH(bool, zombie);
    QFETCH(bool, listed);
    QFETCH(bool, terminated);
    QTemporaryDir dir;
    FakeRunningBundle fake(dir.path(), {}, executable, {}, {}, zombie ? QStringLiteral("/bin/true") : QStringLiteral("/bin/sleep"));
    qint64 pid = 0;
    if (zombie) {
        // A child of this test that has exited and is not reaped until the row ends.
        const QByteArray path = QFile::encodeName(fake.executablePath());
        const pid_t child = ::fork();
        if (child == 0) {
            ::execl(path.constData(), path.constData(), static_cast<char *>(nullptr));
            ::_exit(127);
        }
        QVERIFY(child > 0);
        pid = child;
    } else {
        QVERIFY(fake.start());
        pid = fake.pid();
        QCOMPARE(::kill(pid_t(pid), SIGSTOP), 0);
    }
    const auto reap = qScopeGuard([pid, zombie] {
        if (zombie)
            ::waitpid(pid_t(pid), nullptr, 0);
        else
            ::kill(pid_t(pid), SIGCONT);
    });
    int status = -1;
    QTRY_VERIFY(childReached(pid, zombie ? WEXITED : WSTOPPED, &status));
    QCOMPARE(status, zombie ? 0 : SIGSTOP); // the zombie ran the named copy

    const std::optional<RunningApplication> found = findPid(pid);
    QCOMPARE(bool(found), listed);
    if (found) {
        QCOMPARE(found->executablePath, fake.executablePath());
        QCOMPARE(found->localizedName, executable);
    }
    QCOMPARE(RunningApplications::isTerminated(pid), terminated);
}

QTEST_GUILESS_MAIN(tst_RunningApplications)
#include "tst_runningapplications.moc"
