#include "app/InstallerBootstrap.h"
#include "platform/RunningApplications.h"

#include "FakeRunningBundle.h"
#include "ScratchHome.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <csignal>
#include <unistd.h>

namespace {

const QString toolId = QStringLiteral("com.corvanta.wpsanalysis.manager");

// The built installer bundle as a child, with this process's scratch HOME.
bool runInstaller()
{
    QProcess installer;
    installer.setProcessChannelMode(QProcess::ForwardedChannels);
    installer.start(QStringLiteral(TEST_INSTALLER_BUNDLE_DIR "/Contents/MacOS/CorvantaManagementTool"), {});
    return installer.waitForFinished(30000) && installer.exitStatus() == QProcess::NormalExit && installer.exitCode() == 0;
}

QList<qint64> toolsRunningFrom(const QString &bundlePath)
{
    QList<qint64> pids;
    for (const RunningApplication &application : RunningApplications::list())
        if (application.bundlePath == bundlePath && application.bundleIdentifier == toolId)
            pids.append(application.pid);
    return pids;
}

// The activity log without the times (the opened tool writes lines of its own too).
QString logText(const ScratchHome &home)
{
    QFile file(home.logFile());
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()).remove(QRegularExpression(QStringLiteral("\\[..:..:..\\] "))) : QString();
}

} // namespace

class tst_InstallerBootstrap : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void placesOpensAndReplaces();
    void missingEmbeddedAppAlertsAndTouchesNothing();
};

// First run beside a stale hidden copy of an earlier failed run; second run over the tool it
// opened and over a stand-in copy that ignores the request to quit.
void tst_InstallerBootstrap::placesOpensAndReplaces()
{
    ScratchHome home;
    const QString folder = home.filePath(QStringLiteral("Applications/Corvanta"));
    const QString installed = folder + QStringLiteral("/Corvanta 管理工具.app");
    const QString stale = QStringLiteral(".Corvanta 管理工具-installing-5C1D7A9E-0000-4000-8000-000000000000.app");
    QVERIFY(QDir().mkpath(folder + QLatin1Char('/') + stale));
    auto cleanup = qScopeGuard([&] {
        for (qint64 pid : toolsRunningFrom(installed))
            RunningApplications::forceTerminate(pid);
    });

    QVERIFY(runInstaller());
    QCOMPARE(AppBundle(installed).identifier(), toolId);
    QCOMPARE(QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
             QStringList({stale, QStringLiteral("Corvanta 管理工具.app")}));
    QTRY_COMPARE_WITH_TIMEOUT(toolsRunningFrom(installed).size(), 1, 5000);
    const qint64 firstTool = toolsRunningFrom(installed).constFirst();
    const QString placedLine = QStringLiteral("安装器已覆盖安装并打开管理工具：") + installed + QLatin1Char('\n');
    QCOMPARE(logText(home).count(placedLine), 1);

    QVERIFY(QDir().mkpath(installed + QStringLiteral("/Contents/old-copy")));
    QTemporaryDir elsewhere;
    FakeRunningBundle stubborn(elsewhere.path(), QStringLiteral("Corvanta 管理工具.app"),
                               QStringLiteral("CorvantaManagementTool"), toolId, {}, QStringLiteral(processhelper_PATH));
    QVERIFY(stubborn.start({QStringLiteral("ignore-term")}));
    QVERIFY(stubborn.process().waitForReadyRead(5000)); // "ignoring": the handler is in place
    // Another user's copy, which root (as the suites run) could signal but must not.
    QVERIFY(QFile::setPermissions(elsewhere.path(), QFile::permissions(elsewhere.path()) | QFile::ExeOther));
    FakeRunningBundle othersCopy(elsewhere.path(), QStringLiteral("其他用户.app"), QStringLiteral("CorvantaManagementTool"), toolId);
    othersCopy.process().setChildProcessModifier([] {
        if (::geteuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0))
            ::_exit(127);
    });
    QVERIFY(othersCopy.start());
    QElapsedTimer elapsed;
    elapsed.start();
    QVERIFY(runInstaller());
    qInfo() << "second run took" << elapsed.elapsed() << "ms";
    QVERIFY(elapsed.elapsed() >= 3000); // the full polite wait came before the force
    QVERIFY(stubborn.process().waitForFinished(1000));
    QCOMPARE(stubborn.process().exitCode(), SIGKILL);
    if (::geteuid() == 0)
        QVERIFY(!RunningApplications::isTerminated(othersCopy.pid()));
    QVERIFY(RunningApplications::isTerminated(firstTool));
    QVERIFY(!QFileInfo::exists(installed + QStringLiteral("/Contents/old-copy")));
    QTRY_COMPARE_WITH_TIMEOUT(toolsRunningFrom(installed).size(), 1, 5000);
    QCOMPARE(logText(home).count(placedLine), 2);
}

// The real alert, offscreen, answered the way a person would: by its one button.
void tst_InstallerBootstrap::missingEmbeddedAppAlertsAndTouchesNothing()
{
    ScratchHome home;
    QTemporaryDir dir;
    FakeRunningBundle installer(dir.path(), QStringLiteral("安装.app"), QStringLiteral("x"), QStringLiteral("com.corvanta.wpsanalysis.installer"));
    FakeRunningBundle tool(dir.path(), QStringLiteral("Corvanta 管理工具.app"), QStringLiteral("t"), toolId);
    QVERIFY(tool.start());
    QStringList seen;
    QTimer answer;
    connect(&answer, &QTimer::timeout, this, [&] {
        if (auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget())) {
            seen << box->text() << box->informativeText() << QString::number(box->icon());
            for (QAbstractButton *button : box->buttons())
                seen << button->text();
            box->buttons().constFirst()->click();
        }
    });
    answer.start(50);

    QVERIFY(InstallerBootstrap::installAndRelaunchIfNeeded(AppBundle(installer.bundlePath())));
    QCOMPARE(seen, QStringList({QStringLiteral("Corvanta 管理工具安装失败"), QStringLiteral("安装包缺少内嵌的 Corvanta 管理工具，请重新下载 DMG。"),
                                QString::number(QMessageBox::Critical), QStringLiteral("知道了")}));
    QVERIFY(!QFileInfo::exists(home.filePath(QStringLiteral("Applications"))));
    QVERIFY(!RunningApplications::isTerminated(tool.pid()));
    QCOMPARE(logText(home), QStringLiteral("安装器覆盖安装失败：安装包缺少内嵌的 Corvanta 管理工具，请重新下载 DMG。\n"));
}

QTEST_MAIN(tst_InstallerBootstrap)
#include "tst_installerbootstrap.moc"
