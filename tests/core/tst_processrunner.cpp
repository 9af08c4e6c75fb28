#include "core/ProcessRunner.h"

#include <QCoro/QCoroTimer>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcessEnvironment>
#include <QRegularExpression>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <csignal>
#include <chrono>

using namespace std::chrono_literals;

namespace {

const QString helper = QStringLiteral(processhelper_PATH);

ProcessResult runHelper(const QStringList &arguments, double timeoutSeconds,
                        const QMap<QString, QString> &environment = {})
{
    return QCoro::waitFor(ProcessRunner::run(helper, arguments, environment, timeoutSeconds));
}

// Children of this process, running or not yet reaped.
int childProcessCount()
{
    int count = 0;
    const QString self = QString::number(QCoreApplication::applicationPid());
    for (const QString &pid : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs)) {
        QFile stat(QStringLiteral("/proc/") + pid + QStringLiteral("/stat"));
        if (!stat.open(QIODevice::ReadOnly))
            continue;
        const QByteArray text = stat.readAll();
        // "pid (comm) state ppid ...": comm may hold spaces, so split after its closing bracket.
        const QList<QByteArray> fields = text.mid(text.lastIndexOf(')') + 2).split(' ');
        if (fields.size() > 1 && fields.at(1) == self.toLatin1())
            ++count;
    }
    return count;
}

QCoro::Task<> sleepThenFlag(bool *finished, int *exitCode)
{
    const QStringList arguments{QStringLiteral("sleep"), QStringLiteral("1")};
    const ProcessResult result = co_await ProcessRunner::run(helper, arguments, {}, 10.0);
    *finished = true;
    *exitCode = result.exitCode;
}

QCoro::Task<> catchLaunchError(QString program, QString *description)
{
    try {
        co_await ProcessRunner::run(program, {}, {}, 5.0);
    } catch (const ProcessLaunchError &error) {
        *description = error.sentence();
    }
}

} // namespace

class tst_ProcessRunner : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void appendTimeoutMessage_data();
    void appendTimeoutMessage();
    void outcomes_data();
    void outcomes();
    void signalDeathReportsTheSignal();
    void laterTimeoutStepIsHarmless();
    void launchFailureThrowsNamingTheProgram_data();
    void launchFailureThrowsNamingTheProgram();
    void emptyEnvironmentMeansNoVariables();
    void givenEnvironmentArrivesExactly();
    void largeOutputArrivesWhole();
    void guiThreadStaysResponsive();
    void abandonedRunStillEndsCleanly();
    void runSyncOutcomes_data();
    void runSyncOutcomes();
    void timeoutStopsWhatTheChildStarted_data();
    void timeoutStopsWhatTheChildStarted();
};

void tst_ProcessRunner::init()
{
    QTest::failOnWarning(QRegularExpression(QStringLiteral("Destroyed while process")));
}

void tst_ProcessRunner::appendTimeoutMessage_data()
{
    QTest::addColumn<QString>("output");
    QTest::addColumn<QString>("expected");
    const QString message = ProcessRunner::timeoutMessage;
    QTest::newRow("empty") << QString() << message;
    QTest::newRow("text") << QStringLiteral("abc") << QStringLiteral("abc\n") + message;
    QTest::newRow("not trimmed") << QStringLiteral("abc\n") << QStringLiteral("abc\n\n") + message;
}

void tst_ProcessRunner::appendTimeoutMessage()
{
    QFETCH(QString, output);
    QFETCH(QString, expected);
    QCOMPARE(ProcessRunner::appendTimeoutMessage(output), expected);
}

void tst_ProcessRunner::outcomes_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<double>("timeout");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("output");
    // Timers never fire early, so a timed-out run lasts at least its timeout, plus the 2 s grace
    // before SIGKILL when the child ignores SIGTERM. A row that must see output first gives the
    // child 2 s to start on a busy machine.
    QTest::addColumn<int>("atLeastMs");
    const QString message = QStringLiteral("操作超时，请完全退出 WPS 表格后重试。");

    QTest::newRow("silent success") << QStringList{"exit", "0"} << 5.0 << 0 << QString() << 0;
    QTest::newRow("exit 3 before timeout") << QStringList{"exit", "3", "failed"} << 5.0 << 3 << QStringLiteral("failed") << 0;
    QTest::newRow("text then timeout")
        << QStringList{"print-then-sleep", "abc", "30"} << 2.0 << 124 << QStringLiteral("abc\n") + message << 2000;
    QTest::newRow("silent timeout") << QStringList{"sleep", "30"} << 0.5 << 124 << message << 500;
    QTest::newRow("SIGTERM ignored, killed later")
        << QStringList{"ignore-term"} << 2.0 << 124 << QStringLiteral("ignoring\n") + message << 4000;
    QTest::newRow("both streams in write order")
        << QStringList{"interleave"} << 5.0 << 0 << QStringLiteral("out1\nerr1\nout2\n") << 0;
    QTest::newRow("utf-8 text") << QStringList{"utf8"} << 5.0 << 0 << QStringLiteral("插件已安装\n警告\n") << 0;
    QTest::newRow("invalid utf-8 reads as empty") << QStringList{"invalid-utf8"} << 5.0 << 0 << QString() << 0;
    QTest::newRow("standard input is empty") << QStringList{"read-stdin"} << 5.0 << 0 << QStringLiteral("stdin:0") << 0;
}

void tst_ProcessRunner::outcomes()
{
    QFETCH(QStringList, arguments);
    QFETCH(double, timeout);
    QFETCH(int, exitCode);
    QFETCH(QString, output);
    QFETCH(int, atLeastMs);
    QElapsedTimer clock;
    clock.start();
    const ProcessResult result = runHelper(arguments, timeout);
    QVERIFY2(clock.elapsed() >= atLeastMs, qPrintable(QString::number(clock.elapsed())));
    QCOMPARE(result.output, output);
    QCOMPARE(result.exitCode, exitCode);
}

// QProcess reports CrashExit with the signal number as exit code; the runner passes it on.
void tst_ProcessRunner::signalDeathReportsTheSignal()
{
    const ProcessResult result = runHelper({"signal-self", QString::number(SIGTERM)}, 5.0);
    QCOMPARE(result.exitCode, SIGTERM);
    QCOMPARE(result.output, QStringLiteral("before"));
}

void tst_ProcessRunner::laterTimeoutStepIsHarmless()
{
    const ProcessResult result = runHelper({"exit", "3"}, 1.0);
    QCOMPARE(result.exitCode, 3);
    QTest::qWait(1200); // past the would-be timeout and nothing stirs
    QVERIFY(result.output.isEmpty());
}

void tst_ProcessRunner::launchFailureThrowsNamingTheProgram_data()
{
    QTest::addColumn<QString>("program");
    QTest::addColumn<QString>("expected");
    QTest::newRow("missing") << QStringLiteral("/bin/bashx") << QStringLiteral("无法启动 /bin/bashx：文件不存在。");
    const QString notExecutable = QStringLiteral(TEST_SOURCE_DIR "/CMakeLists.txt");
    QTest::newRow("not executable") << notExecutable
                                    << QStringLiteral("无法启动 ") + notExecutable + QStringLiteral("：没有执行权限。");
}

void tst_ProcessRunner::launchFailureThrowsNamingTheProgram()
{
    QFETCH(QString, program);
    QFETCH(QString, expected);
    // QCoro 0.8's waitFor never returns from a task that throws, so catch inside.
    QString description = QStringLiteral("run did not throw");
    QCoro::waitFor(catchLaunchError(program, &description));
    QCOMPARE(description, expected);
}

void tst_ProcessRunner::emptyEnvironmentMeansNoVariables()
{
    QVERIFY(!qEnvironmentVariableIsEmpty("HOME"));
    QCOMPARE(runHelper({"env-count"}, 5.0).output, QStringLiteral("0"));
}

void tst_ProcessRunner::givenEnvironmentArrivesExactly()
{
    const QMap<QString, QString> environment{{"CORVANTA_A", "1"}, {"PATH", "/usr/bin"}, {"WITH_SPACE", "a b=c 插件"}};
    QStringList lines = runHelper({"env-dump"}, 5.0, environment).output.split('\n', Qt::SkipEmptyParts);
    lines.sort();
    QCOMPARE(lines, (QStringList{"CORVANTA_A=1", "PATH=/usr/bin", "WITH_SPACE=a b=c 插件"}));
}

void tst_ProcessRunner::largeOutputArrivesWhole()
{
    const int bytes = 8 * 1024 * 1024;
    const ProcessResult result = runHelper({"big", QString::number(bytes)}, 30.0);
    QCOMPARE(result.exitCode, 0);
    QCOMPARE(result.output.size(), bytes);
    QVERIFY(result.output.startsWith(QStringLiteral("000000000000000\n000000000000001\n")));
    QVERIFY(result.output.endsWith(QStringLiteral("%1\n").arg(bytes / 16 - 1, 15, 10, QLatin1Char('0'))));
}

// Ticks counted while the run is still pending; a run that blocked the thread would allow at most
// the one overdue tick after it.
void tst_ProcessRunner::guiThreadStaysResponsive()
{
    bool finished = false;
    int ticksWhileRunning = 0;
    QTimer ticker;
    ticker.setInterval(20);
    connect(&ticker, &QTimer::timeout, this, [&] {
        if (!finished)
            ++ticksWhileRunning;
    });
    ticker.start();
    int exitCode = -1;
    QCoro::waitFor(sleepThenFlag(&finished, &exitCode));
    QCOMPARE(exitCode, 0);
    QVERIFY2(ticksWhileRunning >= 2, qPrintable(QString::number(ticksWhileRunning)));
}

// Nobody awaits the result any more: the child is still stopped by the timeout and reaped (no child
// of ours remains, not even a zombie), and no QProcess is destroyed while it runs (init() turns
// that warning into a failure).
void tst_ProcessRunner::abandonedRunStillEndsCleanly()
{
    QCOMPARE(childProcessCount(), 0);
    {
        auto task = ProcessRunner::run(helper, {"ignore-term"}, {}, 0.2);
        Q_UNUSED(task);
    }
    QCOMPARE(childProcessCount(), 1);
    QTRY_COMPARE_WITH_TIMEOUT(childProcessCount(), 0, 10000);
    QCOMPARE(runHelper({"exit", "0", "alive"}, 5.0).output, QStringLiteral("alive"));
}

void tst_ProcessRunner::runSyncOutcomes_data()
{
    QTest::addColumn<QString>("program");
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("output");
    QTest::addColumn<int>("status");
    QTest::newRow("stdout only") << helper << QStringList{"stdout-stderr"} << QStringLiteral("to-out\n") << 0;
    QTest::newRow("exit status") << helper << QStringList{"exit", "2", "x"} << QStringLiteral("x") << 2;
    QTest::newRow("missing program") << QStringLiteral("/bin/bashx") << QStringList{} << QString() << -1;
    QTest::newRow("invalid utf-8") << helper << QStringList{"invalid-utf8"} << QString() << 0;
    QTest::newRow("signal") << helper << QStringList{"signal-self", QString::number(SIGKILL)} << QStringLiteral("before")
                            << -1;
    QTest::newRow("inherits environment") << helper << QStringList{"env-count"}
                                          << QString::number(QProcessEnvironment::systemEnvironment().keys().size()) << 0;
    QTest::newRow("empty standard input") << helper << QStringList{"read-stdin"} << QStringLiteral("stdin:0") << 0;
}

void tst_ProcessRunner::runSyncOutcomes()
{
    QFETCH(QString, program);
    QFETCH(QStringList, arguments);
    QFETCH(QString, output);
    QFETCH(int, status);
    int exitStatus = 12345;
    QCOMPARE(ProcessRunner::runSync(program, arguments, &exitStatus), output);
    QCOMPARE(exitStatus, status);
    QCOMPARE(ProcessRunner::runSync(program, arguments), output);
}

// An installer script whose copy goes on after the script is stopped: the whole group goes with it,
// whether the copy minds SIGTERM or not, and nothing is written once the failure is reported.
void tst_ProcessRunner::timeoutStopsWhatTheChildStarted_data()
{
    QTest::addColumn<bool>("sync");
    QTest::addColumn<QString>("childArgument");
    QTest::newRow("run, child stops on SIGTERM") << false << QString();
    QTest::newRow("run, child ignores SIGTERM") << false << QStringLiteral("ignore-term");
    QTest::newRow("runSync, child ignores SIGTERM") << true << QStringLiteral("ignore-term");
}

void tst_ProcessRunner::timeoutStopsWhatTheChildStarted()
{
    QFETCH(bool, sync);
    QFETCH(QString, childArgument);
    QTemporaryDir dir;
    const QString ticks = dir.filePath(QStringLiteral("ticks"));
    const QStringList arguments{QStringLiteral("-c"), QStringLiteral("\"$0\" tick \"$1\" $2 & wait"), helper, ticks,
                                childArgument};
    if (sync) {
        int status = 0;
        ProcessRunner::runSync(QStringLiteral("/bin/bash"), arguments, &status, 2000);
        QCOMPARE(status, ProcessRunner::syncTimedOutStatus);
    } else {
        const ProcessResult result = QCoro::waitFor(ProcessRunner::run(QStringLiteral("/bin/bash"), arguments, {}, 2.0));
        QCOMPARE(result.exitCode, 124);
    }
    QFile file(ticks);
    const qint64 written = file.size();
    QVERIFY(written > 0);
    QTest::qWait(300);
    QCOMPARE(file.size(), written);
}

QTEST_GUILESS_MAIN(tst_ProcessRunner)
#include "tst_processrunner.moc"
