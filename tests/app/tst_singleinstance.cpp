#include "ScratchHome.h"
#include "app/SingleInstance.h"

#include <QLocalSocket>
#include <QProcess>
#include <QTest>

#include <memory>

namespace {

const QString appPath = QStringLiteral(TEST_TOOL_EXECUTABLE);

// The tool as a child, offscreen, with this process's HOME.
void prepare(QProcess &process)
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    process.setProcessEnvironment(environment);
    process.setProcessChannelMode(QProcess::ForwardedChannels);
}

// Sends one request to the instance answering under the current HOME and returns its reply line.
QByteArray request(const QByteArray &line)
{
    QLocalSocket socket;
    socket.connectToServer(SingleInstance::serverName());
    if (!socket.waitForConnected(1000))
        return {};
    socket.write(line);
    socket.waitForBytesWritten(1000);
    QByteArray reply;
    while (!reply.contains('\n') && socket.waitForReadyRead(5000))
        reply += socket.readAll();
    return reply;
}

struct RunningApp
{
    std::unique_ptr<QProcess> process = std::make_unique<QProcess>();

    RunningApp()
    {
        prepare(*process);
        process->start(appPath, {});
    }
    ~RunningApp()
    {
        if (process->state() == QProcess::NotRunning)
            return;
        process->kill();
        process->waitForFinished(5000);
    }
};

} // namespace

class tst_SingleInstance : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void secondLaunchShowsFirstAndExits();
    void otherHomeRunsItsOwnCopy();
    void leftoverSocketOfCrashedCopyIsReplaced();
    void liveChannelIsNotTakenOver();
};

void tst_SingleInstance::secondLaunchShowsFirstAndExits()
{
    RunningApp first;
    QVERIFY(first.process->waitForStarted());
    // Once it answers, the first copy has its window up.
    QTRY_COMPARE_WITH_TIMEOUT(request("show\n"), QByteArray("shown\n"), 20000);

    QProcess second;
    prepare(second);
    second.start(appPath, {});
    QVERIFY(second.waitForFinished(20000));
    QCOMPARE(second.exitStatus(), QProcess::NormalExit);
    QCOMPARE(second.exitCode(), 0);
    QCOMPARE(first.process->state(), QProcess::Running);
    // The first copy is still the one that answers.
    QCOMPARE(request("show\n"), QByteArray("shown\n"));
    // Anything else on the channel is not a request to show.
    QCOMPARE(request("quit\n"), QByteArray());
    QCOMPARE(first.process->state(), QProcess::Running);
}

void tst_SingleInstance::otherHomeRunsItsOwnCopy()
{
    RunningApp first;
    QTRY_COMPARE_WITH_TIMEOUT(request("show\n"), QByteArray("shown\n"), 20000);
    ScratchHome otherHome;
    RunningApp other;
    // Its own channel answers, so it did not hand over to the first copy.
    QTRY_COMPARE_WITH_TIMEOUT(request("show\n"), QByteArray("shown\n"), 20000);
    QCOMPARE(other.process->state(), QProcess::Running);
}

void tst_SingleInstance::leftoverSocketOfCrashedCopyIsReplaced()
{
    {
        RunningApp crashed;
        QTRY_COMPARE_WITH_TIMEOUT(request("show\n"), QByteArray("shown\n"), 20000);
        // SIGKILL leaves the socket file behind.
    }
    QCOMPARE(request("show\n"), QByteArray());
    RunningApp next;
    QTRY_COMPARE_WITH_TIMEOUT(request("show\n"), QByteArray("shown\n"), 20000);
    QCOMPARE(next.process->state(), QProcess::Running);
}

// Two copies started at the same moment both find nobody answering and both try to listen: the later
// one must leave the earlier one's channel alone.
void tst_SingleInstance::liveChannelIsNotTakenOver()
{
    int firstShown = 0;
    int secondShown = 0;
    SingleInstance first;
    first.setShowHandler([&firstShown] { return ++firstShown > 0; });
    QVERIFY(first.listen());
    SingleInstance second;
    second.setShowHandler([&secondShown] { return ++secondShown > 0; });
    QVERIFY(!second.listen());

    QLocalSocket socket;
    socket.connectToServer(SingleInstance::serverName());
    QVERIFY(socket.waitForConnected(1000));
    socket.write("show\n");
    QByteArray reply;
    QTRY_VERIFY((reply += socket.readAll()).contains('\n'));
    QCOMPARE(reply, QByteArray("shown\n"));
    QCOMPARE(firstShown, 1);
    QCOMPARE(secondShown, 0);
}

QTEST_GUILESS_MAIN(tst_SingleInstance)
#include "tst_singleinstance.moc"
