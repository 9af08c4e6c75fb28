#include "StandinService.h"
#include "model/AuthToolModel.h"
#include "ui/ContentView.h"
#include "ui/OnlinePagePanel.h"
#include "ui/Sidebar.h"
#include "ui/SidebarItem.h"
#include "ui/WebView.h"
#include "ui/WebViewLoader.h"

#include <QApplication>
#include <QFile>
#include <QOpenGLContext>
#include <QSignalSpy>
#include <QTest>

Q_GUI_EXPORT QOpenGLContext *qt_gl_global_share_context();

namespace {
bool webEngineMapped()
{
    QFile maps(QStringLiteral("/proc/self/maps"));
    return maps.open(QIODevice::ReadOnly) && maps.readAll().contains("libQt6WebEngine");
}
} // namespace

// The browser library as the tool loads it: not linked, mapped only once an online page shows, and
// then able to load and paint a page. This program links no WebEngine, like the tool.
class tst_WebViewLoading : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void loadsOnFirstOnlinePage();
};

void tst_WebViewLoading::loadsOnFirstOnlinePage()
{
    WebViewLoader::setLibraryDirectory(QStringLiteral(TEST_BUNDLE_DIR "/Contents/PlugIns"));
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
    // The page paints, in the background the tool's script gives it.
    const QPoint probe = browser->mapTo(&view, QPoint(browser->width() - 12, browser->height() - 12));
    QTRY_COMPARE_WITH_TIMEOUT(view.grab().toImage().pixelColor(probe).name(), QStringLiteral("#f6f8fb"), 15000);
}

QTEST_MAIN(tst_WebViewLoading)
#include "tst_webviewloading.moc"
