#include "StandinService.h"
#include "model/AuthToolModel.h"
#include "ui/ContentView.h"
#include "ui/OnlinePagePanel.h"
#include "ui/Sidebar.h"
#include "ui/SidebarItem.h"
#include "ui/WebView.h"
#include "ui/WebViewBackend.h"
#include "ui/WebViewLoader.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QOpenGLContext>
#include <QSignalSpy>
#include <QTest>
#include <QWindow>

Q_GUI_EXPORT QOpenGLContext *qt_gl_global_share_context();

namespace {
bool webEngineMapped()
{
    QFile maps(QStringLiteral("/proc/self/maps"));
    return maps.open(QIODevice::ReadOnly) && maps.readAll().contains("libQt6WebEngine");
}

// The browser profiles the loaded library holds (the engine's renderers live as long as one does).
int profileCount()
{
    auto *factory = dynamic_cast<QObject *>(WebViewLoader::factory());
    int count = 0;
    for (QObject *child : factory->findChildren<QObject *>())
        count += QLatin1String(child->metaObject()->className()) == QLatin1String("QWebEngineProfile");
    return count;
}

// The engine's helper processes (zygote, renderers) this process started.
int engineHelperCount()
{
    const QByteArray self = QByteArray::number(QCoreApplication::applicationPid());
    int count = 0;
    for (const QString &pid : QDir(QStringLiteral("/proc")).entryList({QStringLiteral("[0-9]*")}, QDir::Dirs)) {
        QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
        const QByteArray text = stat.open(QIODevice::ReadOnly) ? stat.readAll() : QByteArray();
        count += text.mid(text.lastIndexOf(')') + 2).split(' ').value(1) == self
            && QFile::symLinkTarget(QStringLiteral("/proc/%1/exe").arg(pid)).endsWith(QLatin1String("QtWebEngineProcess"));
    }
    return count;
}

} // namespace

// The browser library as the tool loads it where the pages run in its own process (under X11 they
// run in a host program, see tst_pagehost): not linked, mapped only once an online page shows, and
// then able to load and paint a page. This program links no WebEngine, like the tool.
class tst_WebViewLoading : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void loadsOnFirstOnlinePage();
};

void tst_WebViewLoading::loadsOnFirstOnlinePage()
{
    WebViewLoader::setLibraryDirectory(QStringLiteral(TEST_PLUGIN_DIR));
    WebViewLoader::keepPagesInThisProcess();
    StandinService standin;
    QVERIFY2(standin.isRunning(), qPrintable(standin.errorOutput()));
    AuthToolModel model{ClientAuthAPI(standin.baseUrl())};
    ContentView view(&model);
    view.resize(1160, 760);
    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));
    QVERIFY(!WebViewLoader::isLoaded());
    QVERIFY(!webEngineMapped());
    QVERIFY(!qt_gl_global_share_context());
    QWindow *const window = view.windowHandle();
    QVERIFY(window);

    QTest::mouseClick(view.sidebar()->item(AppPage::ServicePlan), Qt::LeftButton);
    auto *panel = qobject_cast<OnlinePagePanel *>(view.currentPage());
    QVERIFY(panel && panel->webView());
    QWidget *browser = panel->webView()->browser();
    QVERIFY2(browser, qPrintable(WebViewLoader::libraryPath()));
    QVERIFY(webEngineMapped());
    QVERIFY(qt_gl_global_share_context());

    // Through the meta-object: this program knows no WebEngine type.
    QSignalSpy loaded(browser, SIGNAL(loadFinished(bool)));
    QVERIFY(loaded.wait(30000));
    QCOMPARE(loaded.first().first().toBool(), true);
    QVERIFY(standin.requests().contains(QStringLiteral("GET /pricing")));
    QVERIFY(engineHelperCount() > 0);
    // Drawn in software, into the window as it was: re-created, it would flicker and lose focus.
    QCOMPARE(view.windowHandle(), window);
    QCOMPARE(window->surfaceType(), QSurface::RasterSurface);
    // The page paints, in the background the tool's script gives it.
    const QPoint probe = browser->mapTo(&view, QPoint(browser->width() - 12, browser->height() - 12));
    QTRY_COMPARE_WITH_TIMEOUT(view.grab().toImage().pixelColor(probe).name(), QStringLiteral("#f6f8fb"), 15000);

    // Left for the idle delay, the browser's profile goes, and with it every helper process of the
    // engine: the suite runs without the sandbox, so no zygote stays (see scripts/bench-startup
    // --online); back on the page, it loads afresh.
    QCOMPARE(profileCount(), 1);
    WebViewLoader::setIdleReleaseDelayMs(1000);
    QTest::mouseClick(view.sidebar()->item(AppPage::Overview), Qt::LeftButton);
    QTRY_COMPARE_WITH_TIMEOUT(profileCount(), 0, 30000);
    QTRY_COMPARE_WITH_TIMEOUT(engineHelperCount(), 0, 30000);
    QTest::mouseClick(view.sidebar()->item(AppPage::ServicePlan), Qt::LeftButton);
    panel = qobject_cast<OnlinePagePanel *>(view.currentPage());
    QVERIFY(panel && panel->webView() && panel->webView()->browser());
    QSignalSpy reloaded(panel->webView()->browser(), SIGNAL(loadFinished(bool)));
    QVERIFY(reloaded.wait(30000));
    QCOMPARE(reloaded.first().first().toBool(), true);
    QCOMPARE(standin.requests().count(QStringLiteral("GET /pricing")), 2);
    QCOMPARE(profileCount(), 1);
}

QTEST_MAIN(tst_WebViewLoading)
#include "tst_webviewloading.moc"
