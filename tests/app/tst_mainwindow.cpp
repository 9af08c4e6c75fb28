#include "core/AppConstants.h"
#include "app/AppDelegate.h"
#include "app/MainWindow.h"
#include "core/ToolPaths.h"
#include "model/AuthToolModel.h"
#include "platform/AppBundle.h"
#include "ScratchHome.h"

#include <QApplication>
#include <QDesktopServices>
#include <QFile>
#include <QScreen>
#include <QSettings>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

class tst_MainWindow : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void firstLaunchIsCentred();
    void minimumSizeIsEnforced();
    void frameIsRestoredByNextLaunch();
    void closedWindowIsShownAgain();
    void quitShortcut();
    void titleFromBundle_data();
    void titleFromBundle();
    void titleOutsideBundle();
    void activityLogOpensWithDefaultHandler();

public Q_SLOTS:
    // Takes the place of the desktop's handler of file addresses.
    void openedByDesktop(const QUrl &url) { m_opened.append(url); }

private:
    QList<QUrl> m_opened;
};


void tst_MainWindow::firstLaunchIsCentred()
{
    QSettings settings(QSettings::UserScope, QStringLiteral("Corvanta"), authToolBundleId);
    settings.remove(MainWindow::frameSettingsKey);
    AppDelegate delegate;
    delegate.showMainWindow();
    MainWindow *window = delegate.mainWindow();
    QVERIFY(QTest::qWaitForWindowExposed(window));
    QCOMPARE(window->size(), MainWindow::contentSize);
    const QPoint screenCentre = window->screen()->availableGeometry().center();
    const QPoint windowCentre = window->frameGeometry().center();
    QVERIFY2((windowCentre - screenCentre).manhattanLength() <= 2,
             qPrintable(QStringLiteral("window %1,%2 screen %3,%4").arg(windowCentre.x()).arg(windowCentre.y())
                            .arg(screenCentre.x()).arg(screenCentre.y())));
}

void tst_MainWindow::minimumSizeIsEnforced()
{
    AppDelegate delegate;
    delegate.showMainWindow();
    MainWindow *window = delegate.mainWindow();
    window->resize(500, 400);
    QCOMPARE(window->size(), MainWindow::minimumContentSize);
    QCOMPARE(window->minimumSize(), QSize(980, 660));
    window->resize(1300, 900);
    QCOMPARE(window->size(), QSize(1300, 900));
}

void tst_MainWindow::frameIsRestoredByNextLaunch()
{
    const QRect moved(63, 47, 1210, 790);
    {
        AppDelegate first;
        first.showMainWindow();
        QVERIFY(QTest::qWaitForWindowExposed(first.mainWindow()));
        first.mainWindow()->setGeometry(moved);
        QTRY_COMPARE(first.mainWindow()->geometry(), moved);
    }
    AppDelegate second;
    second.showMainWindow();
    QVERIFY(QTest::qWaitForWindowExposed(second.mainWindow()));
    QCOMPARE(second.mainWindow()->geometry(), moved);
}

void tst_MainWindow::closedWindowIsShownAgain()
{
    AppDelegate delegate;
    delegate.showMainWindow();
    QPointer<MainWindow> window = delegate.mainWindow();
    QVERIFY(QTest::qWaitForWindowExposed(window));
    delegate.bootstrapModelIfNeeded();
    QVERIFY(delegate.hasBootstrapped());

    QVERIFY(!QGuiApplication::quitOnLastWindowClosed());
    QVERIFY(window->close());
    QCoreApplication::processEvents();
    QVERIFY(window);
    QVERIFY(!window->isVisible());

    delegate.showMainWindow();
    QCOMPARE(delegate.mainWindow(), window.data());
    QVERIFY(window->isVisible());
}

void tst_MainWindow::quitShortcut()
{
    AppDelegate delegate;
    delegate.showMainWindow();
    MainWindow *window = delegate.mainWindow();
    QVERIFY(QTest::qWaitForWindowActive(window));
    QSignalSpy quit(window, &MainWindow::quitRequested);
    QTest::keyClick(window, Qt::Key_Q, Qt::ControlModifier);
    QCOMPARE(quit.count(), 1);
}

void tst_MainWindow::titleFromBundle_data()
{
    QTest::addColumn<QByteArray>("nameEntry");
    QTest::addColumn<QString>("title");
    QTest::newRow("text") << QByteArray("<key>CFBundleName</key><string>Corvanta 工具</string>")
                          << QStringLiteral("Corvanta 工具");
    QTest::newRow("empty text is used") << QByteArray("<key>CFBundleName</key><string></string>") << QString();
    QTest::newRow("missing") << QByteArray() << QStringLiteral("Corvanta 管理工具");
    QTest::newRow("number") << QByteArray("<key>CFBundleName</key><integer>7</integer>")
                            << QStringLiteral("Corvanta 管理工具");
    QTest::newRow("list") << QByteArray("<key>CFBundleName</key><array><string>A</string></array>")
                          << QStringLiteral("Corvanta 管理工具");
}

void tst_MainWindow::titleFromBundle()
{
    QFETCH(QByteArray, nameEntry);
    QFETCH(QString, title);
    QTemporaryDir dir;
    const QString bundlePath = dir.filePath(QStringLiteral("Probe.app"));
    QVERIFY(QDir().mkpath(bundlePath + QStringLiteral("/Contents/MacOS")));
    QFile plist(bundlePath + QStringLiteral("/Contents/Info.plist"));
    QVERIFY(plist.open(QIODevice::WriteOnly));
    plist.write("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\"><dict>"
                "<key>CFBundleIdentifier</key><string>com.example.probe</string>"
                + nameEntry + "</dict></plist>\n");
    plist.close();

    const AppBundle bundle = AppBundle::containingExecutable(bundlePath + QStringLiteral("/Contents/MacOS/probe"));
    QVERIFY(bundle.isValid());
    QCOMPARE(bundle.identifier(), QStringLiteral("com.example.probe"));
    const QString actual = MainWindow::titleFor(bundle.infoDictionary());
    QCOMPARE(actual, title);
    QCOMPARE(actual.isNull(), false);
}

void tst_MainWindow::titleOutsideBundle()
{
    // This suite runs outside any bundle: no information dictionary, the tool's own name.
    QVERIFY(!AppBundle::main().isValid());
    AppDelegate delegate;
    delegate.showMainWindow();
    QCOMPARE(delegate.mainWindow()->windowTitle(), QStringLiteral("Corvanta 管理工具"));
}

void tst_MainWindow::activityLogOpensWithDefaultHandler()
{
    ScratchHome home;
    QDesktopServices::setUrlHandler(QStringLiteral("file"), this, "openedByDesktop");
    AppDelegate delegate;
    // Before the tool has logged anything there is still a file to open.
    delegate.showActivityLog();
    QDesktopServices::unsetUrlHandler(QStringLiteral("file"));

    const QString expected = home.logFile();
    QCOMPARE(m_opened, QList<QUrl>{QUrl::fromLocalFile(expected)});
    QVERIFY(QFile::exists(expected));
    QCOMPARE(delegate.model()->operationMessage(), QString());
}

int main(int argc, char *argv[])
{
    // A desktop large enough for the window, so saved frames are restored as they are.
    QTemporaryDir configDir;
    const QString config = configDir.filePath(QStringLiteral("screens.json"));
    QFile file(config);
    if (!file.open(QIODevice::WriteOnly))
        return 1;
    file.write(R"({"screens": [{"name": "Desktop", "x": 0, "y": 0, "width": 1920, "height": 1200,
                   "logicalDpi": 96, "logicalBaseDpi": 96, "dpr": 1}]})");
    file.close();
    qputenv("QT_QPA_PLATFORM", "offscreen:configfile=" + config.toLocal8Bit());
    QApplication app(argc, argv);
    tst_MainWindow suite;
    return QTest::qExec(&suite, argc, argv);
}

#include "tst_mainwindow.moc"
