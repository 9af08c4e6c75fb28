#include "DesktopPalettes.h"
#include "ScratchHome.h"
#include "StagedModel.h"
#include "StandinService.h"
#include "TaskOutcome.h"
#include "core/ToolPaths.h"
#include "model/AuthToolModel.h"
#include "ModelDownload.h"
#include "ui/ContentView.h"
#include "ui/OfflinePanel.h"
#include "ui/OnlinePagePanel.h"
#include "ui/OnlineTab.h"
#include "ui/Sidebar.h"
#include "ui/SidebarItem.h"
#include "ui/WebView.h"
#include "ui/WebViewLoader.h"

#include <QApplication>
#include <QDir>
#include <QEventLoop>
#include <QTimer>
#include <QDirIterator>
#include <QSignalSpy>
#include <QTest>
#include <QWebEngineHistory>
#include <QWebEngineLoadingInfo>
#include <QWebEnginePage>
#include <QWebEngineView>

#include <memory>

namespace {

QWebEngineView *browserOf(OnlinePagePanel *panel)
{
    return panel->webView() ? qobject_cast<QWebEngineView *>(panel->webView()->browser()) : nullptr;
}

// The engine's own tasks run from the event loop; QTest's waits sleep between rounds and slow every
// page down to seconds, so this waits in a running loop.
bool waitUntil(const std::function<bool()> &condition, int timeoutMs = 20000)
{
    QEventLoop loop;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        if (condition())
            loop.quit();
    });
    QTimer::singleShot(timeoutMs, &loop, &QEventLoop::quit);
    poll.start(20);
    if (!condition())
        loop.exec();
    return condition();
}

QVariant evaluate(QWebEngineView *view, const QString &script)
{
    std::optional<QVariant> result;
    view->page()->runJavaScript(script, [&result](const QVariant &value) { result = value; });
    if (!waitUntil([&result] { return result.has_value(); }, 5000))
        return QStringLiteral("(no answer)");
    return *result;
}

bool waitForLoad(QWebEngineView *view, const QString &path)
{
    return waitUntil([&] { return view->url().path() == path && !view->page()->isLoading(); });
}

int count(const QStringList &requests, const QString &request)
{
    return int(requests.count(request));
}

} // namespace

// The online pages with the real browser against the stand-in's pages. One engine start for the
// whole suite: every case shares the process's profile.
class tst_OnlinePages : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void chromeHidingScriptIsExact();
    void pagesAndEntries();
    void hidesSiteChrome();
    void tabsLoadInTheSameBrowser();
    void offlineReplacesBrowser();
    void signInOnTheSiteAuthorisesDownloads();
    void screenshots();

private:
    std::unique_ptr<OnlinePagePanel> shownAccountPage();

    ScratchHome m_home;
    std::unique_ptr<StandinService> m_standin;
    std::unique_ptr<StagedModel> m_staged;
    AuthToolModel *m_model = nullptr;
};

void tst_OnlinePages::initTestCase()
{
    WebViewLoader::setLibraryDirectory(QStringLiteral(TEST_PLUGIN_DIR));
    QApplication::setPalette(DesktopPalettes::light());
    m_standin = std::make_unique<StandinService>();
    QVERIFY2(m_standin->isRunning(), qPrintable(m_standin->errorOutput()));
    m_staged = std::make_unique<StagedModel>(ClientAuthAPI(m_standin->baseUrl()));
    m_model = &m_staged->model;
    m_staged->setOnline(true);
}

std::unique_ptr<OnlinePagePanel> tst_OnlinePages::shownAccountPage()
{
    std::unique_ptr<OnlinePagePanel> panel(OnlinePagePanel::accountSettingsPage(m_model, nullptr));
    panel->resize(900, 640);
    panel->show();
    return panel;
}

void tst_OnlinePages::chromeHidingScriptIsExact()
{
    const QString expected = QString::fromUtf8(R"js((function () {
  var styleId = 'corvanta-desktop-shell-style';
  if (document.getElementById(styleId)) return;
  var style = document.createElement('style');
  style.id = styleId;
  style.textContent = [
    'body > div.flex.min-h-screen.flex-col > header.fixed.inset-x-0.top-0.z-50 { display: none !important; }',
    'body > div.flex.min-h-screen.flex-col > footer { display: none !important; }',
    'body > div.flex.min-h-screen.flex-col > main { padding-top: 0 !important; }',
    'body { background: #f6f8fb !important; }'
  ].join('\n');
  document.head.appendChild(style);
})();)js");
    QCOMPARE(websiteChromeHidingScript.size(), 586);
    QCOMPARE(websiteChromeHidingScript, expected);
}

void tst_OnlinePages::pagesAndEntries()
{
    // Built hidden: no browser is made for a page that is never shown.
    std::unique_ptr<OnlinePagePanel> plans(OnlinePagePanel::servicePlanPage(m_model, nullptr));
    QVERIFY(plans->tabs().isEmpty());
    QCOMPARE(plans->detailText(), QStringLiteral("查看可购买套餐、权益和续费方案。"));
    QCOMPARE(plans->currentEntry().path, QStringLiteral("/pricing"));
    QCOMPARE(OnlinePagePanel::entryColor(plans->currentEntry()).name(), QStringLiteral("#12385f"));

    std::unique_ptr<OnlinePagePanel> account(OnlinePagePanel::accountSettingsPage(m_model, nullptr));
    QStringList rows;
    for (int index = 0; index < account->entries().size(); ++index) {
        const OnlineDestination &entry = account->entries().at(index);
        QCOMPARE(account->tabs().at(index)->text(), entry.title);
        rows.append(QStringList{entry.title, entry.symbol, entry.path, entry.detail,
                                OnlinePagePanel::entryColor(entry).name()}
                        .join(QLatin1Char('|')));
    }
    QCOMPARE(rows, (QStringList{
                       QStringLiteral("账单与权益|creditcard|/settings/billing|当前订阅、权益和续费。|#12385f"),
                       QStringLiteral("支付记录|dollarsign.circle|/settings/payments|已支付订单和发票入口。|#12385f"),
                       QStringLiteral("积分记录|circle.hexagongrid|/settings/credits|充值、消耗和剩余额度。|#19d3c5"),
                       QStringLiteral("API Key|key|/settings/apikeys|管理 API 密钥。|#12385f"),
                       QStringLiteral("AI 设置|sparkles|/settings/ai-config|模型和 AI 偏好。|#6f7bff"),
                   }));
    QVERIFY(account->tabs().first()->isSelected());
    QVERIFY(!account->webView()->browser());
}

void tst_OnlinePages::hidesSiteChrome()
{
    const auto panel = shownAccountPage();
    QWebEngineView *view = browserOf(panel.get());
    QVERIFY(view);
    QVERIFY(waitForLoad(view, QStringLiteral("/settings/billing")));
    const QString probe = QStringLiteral(
        "JSON.stringify([getComputedStyle(document.querySelector('body > div > header')).display,"
        " getComputedStyle(document.querySelector('body > div > footer')).display,"
        " getComputedStyle(document.querySelector('body > div > main')).paddingTop,"
        " getComputedStyle(document.body).backgroundColor,"
        " document.querySelectorAll('#corvanta-desktop-shell-style').length])");
    QCOMPARE(evaluate(view, probe).toString(), QStringLiteral(R"js(["none","none","0px","rgb(246, 248, 251)",1])js"));

    // A page that has the style element already (in-page navigation runs the script again) keeps one.
    QCOMPARE(evaluate(view, websiteChromeHidingScript
                                + QStringLiteral("; document.querySelectorAll('#corvanta-desktop-shell-style').length"))
                 .toInt(),
             1);
}

void tst_OnlinePages::tabsLoadInTheSameBrowser()
{
    const auto panel = shownAccountPage();
    QPointer<QWebEngineView> view = browserOf(panel.get());
    QVERIFY(view);
    QVERIFY(waitForLoad(view, QStringLiteral("/settings/billing")));

    QTest::mouseClick(panel->tabs().at(1), Qt::LeftButton);
    QCOMPARE(panel->detailText(), QStringLiteral("已支付订单和发票入口。"));
    QVERIFY(panel->tabs().at(1)->isSelected() && !panel->tabs().at(0)->isSelected());
    QCOMPARE(browserOf(panel.get()), view.data());
    QVERIFY(waitForLoad(view, QStringLiteral("/settings/payments")));
    const int loads = count(m_standin->requests(), QStringLiteral("GET /settings/payments"));
    QCOMPARE(loads, 1);

    // The tab that is already chosen loads nothing.
    QSignalSpy started(view.data(), &QWebEngineView::loadStarted);
    QTest::mouseClick(panel->tabs().at(1), Qt::LeftButton);
    waitUntil([] { return false; }, 500);
    QCOMPARE(started.count(), 0);
    QCOMPARE(count(m_standin->requests(), QStringLiteral("GET /settings/payments")), loads);
}

void tst_OnlinePages::offlineReplacesBrowser()
{
    const auto panel = shownAccountPage();
    QPointer<QWebEngineView> view = browserOf(panel.get());
    QVERIFY(view);
    QTest::mouseClick(panel->tabs().at(2), Qt::LeftButton);
    QVERIFY(waitForLoad(view, QStringLiteral("/settings/credits")));
    const int loads = count(m_standin->requests(), QStringLiteral("GET /settings/credits"));

    m_staged->setOnline(false);
    QVERIFY(!view);
    QVERIFY(!panel->webView());
    QVERIFY(panel->offlinePanel() && panel->offlinePanel()->isVisible());
    // Tabs and detail line stay usable offline.
    QTest::mouseClick(panel->tabs().at(3), Qt::LeftButton);
    QCOMPARE(panel->detailText(), QStringLiteral("管理 API 密钥。"));
    QTest::mouseClick(panel->tabs().at(2), Qt::LeftButton);

    m_staged->setOnline(true);
    QVERIFY(!panel->offlinePanel());
    view = browserOf(panel.get());
    QVERIFY(view);
    QVERIFY(waitForLoad(view, QStringLiteral("/settings/credits")));
    QCOMPARE(count(m_standin->requests(), QStringLiteral("GET /settings/credits")), loads + 1);
}

void tst_OnlinePages::signInOnTheSiteAuthorisesDownloads()
{
    const AccountCredentialStore &store = m_model->credentialStore();
    QCoro::waitFor(store.clearCredential());
    // The whole window: it is what forgets the site's cookies when the account signs out.
    ContentView window(m_model);
    window.resize(1160, 760);
    window.show();
    QTest::mouseClick(window.sidebar()->item(AppPage::AccountSettings), Qt::LeftButton);
    QWebEngineView *view = browserOf(qobject_cast<OnlinePagePanel *>(window.currentPage()));
    QVERIFY(view);
    QVERIFY(waitForLoad(view, QStringLiteral("/settings/billing")));

    QStringList loadedAddresses;
    connect(view->page(), &QWebEnginePage::loadingChanged, this,
            [&loadedAddresses](const QWebEngineLoadingInfo &info) { loadedAddresses.append(info.url().toString()); });
    evaluate(view, QStringLiteral("document.getElementById('sign-in').click()"));
    QVERIFY(waitForLoad(view, QStringLiteral("/account/sign-in")));
    evaluate(view, QStringLiteral("document.querySelector('[name=account]').value = 'demo@corvanta.test';"
                                  "document.querySelector('[name=password]').value = 'corvanta-demo';"
                                  "document.getElementById('sign-in-form').submit()"));
    QVERIFY(waitUntil([this] { return m_model->operationMessage() == QStringLiteral("已登录 Corvanta 账户。"); }));
    const QString credential = QCoro::waitFor(store.readCredential());
    QVERIFY2(credential.startsWith(QLatin1String("cv1.")), qPrintable(credential));
    // The browser shows the entry again, now signed in.
    QVERIFY(waitUntil([view] {
        return evaluate(view, QStringLiteral("(document.getElementById('account') || {}).textContent")).toString()
            == QStringLiteral("demo@corvanta.test");
    }));
    QCOMPARE(view->url().path(), QStringLiteral("/settings/billing"));

    // The stand-in accepts only what it issued: the token request carried the new credential.
    const auto download = awaitOutcome(downloadThrough(*m_model));
    QCOMPARE(download.description(), QString());
    QVERIFY(m_standin->requests().contains(QStringLiteral("POST ") + ClientAuthAPI::downloadTokenPath));

    // Nowhere on disk but in the store, in no loaded address, in no request line.
    QDirIterator files(ToolPaths::supportDir() + QStringLiteral("/WebView"), QDir::Files | QDir::Hidden,
                       QDirIterator::Subdirectories);
    int profileFiles = 0;
    while (files.hasNext()) {
        QFile file(files.next());
        QVERIFY(file.open(QIODevice::ReadOnly));
        QVERIFY2(!file.readAll().contains(credential.toUtf8()), qPrintable(file.fileName()));
        ++profileFiles;
    }
    QVERIFY(profileFiles > 0);
    QFile log(ToolPaths::logFile());
    QVERIFY(log.open(QIODevice::ReadOnly));
    QVERIFY(!log.readAll().contains(credential.toUtf8()));
    for (const QWebEngineHistoryItem &item : view->history()->items())
        loadedAddresses.append(item.url().toString());
    QVERIFY(!loadedAddresses.isEmpty());
    QVERIFY2(loadedAddresses.filter(credential).isEmpty(), qPrintable(loadedAddresses.join(QLatin1Char(' '))));
    QVERIFY(m_standin->requests().filter(credential).isEmpty());

    // Signing out on the site forgets the credential and every cookie of the site.
    evaluate(view, QStringLiteral("document.cookie = 'site-preference=compact; max-age=86400; path=/'"));
    evaluate(view, QStringLiteral("document.getElementById('sign-out').click()"));
    QVERIFY(waitUntil([this] { return m_model->operationMessage() == QStringLiteral("已退出 Corvanta 账户。"); }));
    QCOMPARE(QCoro::waitFor(store.readCredential()), QString());
    QVERIFY(waitUntil([view] { return evaluate(view, QStringLiteral("!!document.getElementById('sign-in')")).toBool(); }));
    QCOMPARE(evaluate(view, QStringLiteral("document.cookie")).toString(), QString());
}

void tst_OnlinePages::screenshots()
{
    const QDir artifacts(QStringLiteral(TEST_ARTIFACT_DIR));
    QVERIFY(artifacts.mkpath(QStringLiteral(".")));
    ContentView window(m_model);
    window.resize(1160, 760);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    const auto onlinePage = [&window](AppPage page) {
        QTest::mouseClick(window.sidebar()->item(page), Qt::LeftButton);
        return qobject_cast<OnlinePagePanel *>(window.currentPage());
    };
    // Let the page paint before the picture is taken.
    const auto settle = [](QWebEngineView *view, const QString &path) {
        return waitForLoad(view, path) && (waitUntil([] { return false; }, 400), true);
    };

    OnlinePagePanel *plans = onlinePage(AppPage::ServicePlan);
    QVERIFY(settle(browserOf(plans), QStringLiteral("/pricing")));
    QVERIFY(window.grab().save(artifacts.filePath(QStringLiteral("online-serviceplan.png"))));

    OnlinePagePanel *account = onlinePage(AppPage::AccountSettings);
    QCOMPARE(account->tabs().size(), 5);
    QTest::mouseClick(account->tabs().at(4), Qt::LeftButton);
    QVERIFY(settle(browserOf(account), QStringLiteral("/settings/ai-config")));
    QVERIFY(window.grab().save(artifacts.filePath(QStringLiteral("online-account-ai.png"))));

    m_staged->setOnline(false);
    QVERIFY(window.grab().save(artifacts.filePath(QStringLiteral("online-offline.png"))));
    m_staged->setOnline(true);
}

QTEST_MAIN(tst_OnlinePages)
#include "tst_onlinepages.moc"
