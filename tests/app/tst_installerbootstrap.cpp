#include "app/InstallerBootstrap.h"
#include "app/InstallerError.h"
#include "platform/RunningApplications.h"

#include "FakeRunningBundle.h"
#include "ScratchHome.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <csignal>

namespace {

const QString installerExecutable = QStringLiteral(TEST_INSTALLER_BUNDLE_DIR "/Contents/MacOS/CorvantaManagementTool");
const QString toolId = QStringLiteral("com.corvanta.wpsanalysis.manager");
const QString installedRelative = QStringLiteral("Applications/Corvanta/Corvanta 管理工具.app");

// The built installer bundle as a child with this process's (scratch) HOME; its exit code.
int runInstaller(QElapsedTimer *elapsed = nullptr)
{
    QProcess installer;
    installer.setProcessChannelMode(QProcess::ForwardedChannels);
    QElapsedTimer timer;
    timer.start();
    installer.start(installerExecutable, {});
    if (!installer.waitForFinished(30000) || installer.exitStatus() != QProcess::NormalExit)
        return -1;
    if (elapsed)
        *elapsed = timer;
    return installer.exitCode();
}

// The running processes of the bundle at this path.
QList<qint64> pidsOf(const QString &bundlePath)
{
    QList<qint64> pids;
    for (const RunningApplication &application : RunningApplications::list()) {
        if (application.bundlePath == bundlePath && application.bundleIdentifier == toolId)
            pids.append(application.pid);
    }
    return pids;
}

void endAll(const QString &bundlePath)
{
    for (qint64 pid : pidsOf(bundlePath))
        RunningApplications::forceTerminate(pid);
}

QStringList logLines(const ScratchHome &home)
{
    QFile file(home.filePath(QStringLiteral("Library/Logs/CorvantaWpsAnalysis/corvanta-auth-tool.log")));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QStringList lines = QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    for (QString &line : lines)
        line.remove(0, 11); // "[HH:mm:ss] "
    return lines;
}

void writeInfoPlist(const QString &bundle, const QString &identifier)
{
    QDir().mkpath(bundle + QStringLiteral("/Contents/Resources"));
    QFile info(bundle + QStringLiteral("/Contents/Info.plist"));
    QVERIFY(info.open(QIODevice::WriteOnly));
    info.write(QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\"><dict>"
                              "<key>CFBundleIdentifier</key><string>%1</string></dict></plist>\n")
                   .arg(identifier)
                   .toUtf8());
}

} // namespace

class tst_InstallerBootstrap : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void firstRunPlacesAndOpens();
    void secondRunReplacesRunningCopies();
    void missingEmbeddedAppAlertsAndTouchesNothing();
    void notTheInstaller();
    void failedOpenIsErrorTwo();
};

// A stale hidden copy of an earlier failed run is there too: it neither stops the run nor is
// mistaken for this run's copy.
void tst_InstallerBootstrap::firstRunPlacesAndOpens()
{
    ScratchHome home;
    const QString installed = home.filePath(installedRelative);
    const QString stale = home.filePath(
        QStringLiteral("Applications/Corvanta/.Corvanta 管理工具-installing-5C1D7A9E-0000-4000-8000-000000000000.app"));
    QVERIFY(QDir().mkpath(stale + QStringLiteral("/Contents")));

    QCOMPARE(runInstaller(), 0);
    auto cleanup = qScopeGuard([&] { endAll(installed); });

    QCOMPARE(AppBundle(installed).identifier(), toolId);
    QVERIFY(QFileInfo(installed + QStringLiteral("/Contents/MacOS/CorvantaManagementTool")).isExecutable());
    QCOMPARE(QDir(home.filePath(QStringLiteral("Applications/Corvanta")))
                 .entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
             QStringList({QFileInfo(stale).fileName(), QStringLiteral("Corvanta 管理工具.app")}));
    QTRY_COMPARE_WITH_TIMEOUT(pidsOf(installed).size(), 1, 5000);
    // The opened tool writes lines of its own.
    QCOMPARE(logLines(home).filter(QStringLiteral("安装器")),
             QStringList({QStringLiteral("安装器已覆盖安装并打开管理工具：") + installed}));
}

// The tool opened by the first run quits when asked; a stand-in that ignores the request is
// forced after the polite wait. Then the old copy is replaced and the new one opened.
void tst_InstallerBootstrap::secondRunReplacesRunningCopies()
{
    ScratchHome home;
    const QString installed = home.filePath(installedRelative);
    QCOMPARE(runInstaller(), 0);
    auto cleanup = qScopeGuard([&] { endAll(installed); });
    QTRY_COMPARE_WITH_TIMEOUT(pidsOf(installed).size(), 1, 5000);
    const qint64 firstTool = pidsOf(installed).constFirst();
    QFile oldMarker(installed + QStringLiteral("/Contents/old-copy"));
    QVERIFY(oldMarker.open(QIODevice::WriteOnly));
    oldMarker.close();

    QTemporaryDir elsewhere;
    FakeRunningBundle stubborn(elsewhere.path(), QStringLiteral("Corvanta 管理工具.app"),
                               QStringLiteral("CorvantaManagementTool"), toolId, {}, QStringLiteral(processhelper_PATH));
    QVERIFY(stubborn.start({QStringLiteral("ignore-term")}));
    QVERIFY(stubborn.process().waitForReadyRead(5000)); // "ignoring": the handler is in place

    QElapsedTimer elapsed;
    QCOMPARE(runInstaller(&elapsed), 0);
    qInfo() << "second run took" << elapsed.elapsed() << "ms";

    QVERIFY(elapsed.elapsed() >= 3000);
    QVERIFY(stubborn.process().waitForFinished(1000));
    QCOMPARE(stubborn.process().exitStatus(), QProcess::CrashExit);
    QCOMPARE(stubborn.process().exitCode(), SIGKILL);
    QVERIFY(RunningApplications::isTerminated(firstTool));
    QVERIFY(!QFileInfo::exists(installed + QStringLiteral("/Contents/old-copy")));
    QTRY_COMPARE_WITH_TIMEOUT(pidsOf(installed).size(), 1, 5000);
    QVERIFY(pidsOf(installed).constFirst() != firstTool);
    QCOMPARE(logLines(home).filter(QStringLiteral("安装器已覆盖安装并打开管理工具：")).size(), 2);
}

// The real alert, offscreen, answered the way a person would: by its one button.
void tst_InstallerBootstrap::missingEmbeddedAppAlertsAndTouchesNothing()
{
    ScratchHome home;
    QTemporaryDir dir;
    const QString installer = dir.filePath(QStringLiteral("安装 Corvanta 管理工具.app"));
    writeInfoPlist(installer, QStringLiteral("com.corvanta.wpsanalysis.installer"));
    FakeRunningBundle tool(dir.path(), QStringLiteral("Corvanta 管理工具.app"), QStringLiteral("CorvantaManagementTool"),
                           toolId);
    QVERIFY(tool.start());

    QString text, informative;
    QStringList buttons;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QTimer answer;
    connect(&answer, &QTimer::timeout, this, [&] {
        auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        if (!box)
            return;
        text = box->text();
        informative = box->informativeText();
        icon = box->icon();
        for (QAbstractButton *button : box->buttons())
            buttons.append(button->text());
        box->buttons().constFirst()->click();
    });
    answer.start(50);

    QVERIFY(InstallerBootstrap::installAndRelaunchIfNeeded(AppBundle(installer)));

    QCOMPARE(text, QStringLiteral("Corvanta 管理工具安装失败"));
    QCOMPARE(informative, QStringLiteral("安装包缺少内嵌的 Corvanta 管理工具，请重新下载 DMG。"));
    QCOMPARE(icon, QMessageBox::Critical);
    QCOMPARE(buttons, QStringList({QStringLiteral("知道了")}));
    QVERIFY(!QFileInfo::exists(home.filePath(QStringLiteral("Applications"))));
    QVERIFY(!RunningApplications::isTerminated(tool.pid()));
    QCOMPARE(logLines(home),
             QStringList({QStringLiteral("安装器覆盖安装失败：安装包缺少内嵌的 Corvanta 管理工具，请重新下载 DMG。")}));
}

void tst_InstallerBootstrap::notTheInstaller()
{
    ScratchHome home;
    QTemporaryDir dir;
    writeInfoPlist(dir.filePath(QStringLiteral("T.app")), toolId);
    QVERIFY(QDir().mkpath(dir.filePath(QStringLiteral("T.app/Contents/Resources/Corvanta 管理工具.app"))));

    QVERIFY(!InstallerBootstrap::installAndRelaunchIfNeeded(AppBundle(dir.filePath(QStringLiteral("T.app")))));
    QVERIFY(!InstallerBootstrap::installAndRelaunchIfNeeded(AppBundle()));
    QVERIFY(QDir(home.path()).isEmpty());
}

void tst_InstallerBootstrap::failedOpenIsErrorTwo()
{
    QTemporaryDir dir;
    const QString bundle = dir.filePath(QStringLiteral("Corvanta 管理工具.app"));
    writeInfoPlist(bundle, toolId); // no CFBundleExecutable: nothing to open
    try {
        InstallerBootstrap::launchInstalledManagementApp(bundle);
        QFAIL("opened a bundle without an executable");
    } catch (const InstallerError &error) {
        QCOMPARE(error.code(), InstallerError::OpenFailed);
        QCOMPARE(error.description(), QStringLiteral("管理工具已安装，但打开失败。请到 ~/Applications/Corvanta 手动打开。"));
    }
}

QTEST_MAIN(tst_InstallerBootstrap)
#include "tst_installerbootstrap.moc"
