#include "DesktopPalettes.h"
#include "model/AuthToolModel.h"
#include "ui/ContentView.h"
#include "ui/OperationBanner.h"
#include "ui/PageTitle.h"
#include "ui/Sidebar.h"
#include "ui/SidebarItem.h"
#include "ui/SmallStatusPill.h"
#include "ui/UiPalette.h"

#include "StagedModel.h"

#include <QApplication>
#include <QTest>

class tst_ContentView : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init() { QApplication::setPalette(DesktopPalettes::light()); }
    void startsOnOverview();
    void sidebarClickShowsPage_data();
    void sidebarClickShowsPage();
    void networkPillFollowsModel();
    void sidebarFollowsLightAndDark();
    void bannerFollowsOperationMessage();
};

void tst_ContentView::startsOnOverview()
{
    AuthToolModel model;
    ContentView view(&model);
    QCOMPARE(view.selectedPage(), AppPage::Overview);
    QVERIFY(view.sidebar()->item(AppPage::Overview)->isActive());
    QCOMPARE(view.currentPage()->findChild<PageTitle *>()->title(), QStringLiteral("Corvanta 管理工具"));
}

void tst_ContentView::sidebarClickShowsPage_data()
{
    QTest::addColumn<AppPage>("page");
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("pageTitle");
    QTest::newRow("overview") << AppPage::Overview << QStringLiteral("概览") << QStringLiteral("Corvanta 管理工具");
    QTest::newRow("localPlugin") << AppPage::LocalPlugin << QStringLiteral("本机插件") << QStringLiteral("本机插件");
    QTest::newRow("servicePlan") << AppPage::ServicePlan << QStringLiteral("服务方案") << QStringLiteral("服务方案");
    QTest::newRow("accountSettings") << AppPage::AccountSettings << QStringLiteral("账户设置")
                                     << QStringLiteral("账户设置");
    QTest::newRow("guide") << AppPage::Guide << QStringLiteral("帮助支持") << QStringLiteral("帮助支持");
}

void tst_ContentView::sidebarClickShowsPage()
{
    QFETCH(AppPage, page);
    QFETCH(QString, title);
    QFETCH(QString, pageTitle);
    AuthToolModel model;
    ContentView view(&model);
    view.resize(1160, 760);
    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));
    // Start from another page, so a click on the overview row is a change too.
    QTest::mouseClick(view.sidebar()->item(AppPage::Guide), Qt::LeftButton);

    SidebarItem *row = view.sidebar()->item(page);
    QTest::mouseClick(row, Qt::LeftButton);

    QCOMPARE(view.selectedPage(), page);
    QCOMPARE(row->title(), title);
    const auto titles = view.currentPage()->findChildren<PageTitle *>();
    QCOMPARE(titles.size(), 1);
    QCOMPARE(titles.first()->title(), pageTitle);
    QVERIFY(titles.first()->isVisible());
    int active = 0;
    for (AppPage each : allAppPages())
        active += view.sidebar()->item(each)->isActive() ? 1 : 0;
    QCOMPARE(active, 1);
    QVERIFY(row->isActive());
}

void tst_ContentView::networkPillFollowsModel()
{
    StagedModel staged;
    AuthToolModel &model = staged.model;
    ContentView view(&model);
    SmallStatusPill *pill = view.sidebar()->networkPill();
    QCOMPARE(pill->text(), QStringLiteral("在线"));
    QCOMPARE(pill->color(), UiPalette::green());

    staged.setOnline(false);
    QCOMPARE(pill->text(), model.networkLabel());
    QCOMPARE(pill->text(), QStringLiteral("离线"));
    QCOMPARE(pill->color(), UiPalette::orange());

    staged.setOnline(true);
    QCOMPARE(pill->text(), QStringLiteral("在线"));
    QCOMPARE(pill->color(), UiPalette::green());
}

void tst_ContentView::sidebarFollowsLightAndDark()
{
    AuthToolModel model;
    ContentView view(&model);
    view.resize(1160, 760);
    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));
    // A point of the sidebar below the page list and above the pill: plain background.
    const QPoint probe(Sidebar::fixedWidth - 5, 400);
    const auto sidebarPixel = [&] { return view.grab().toImage().pixel(probe); };
    QCOMPARE(sidebarPixel(), QColor::fromRgbF(0.952f, 0.97f, 0.985f).rgb());

    QApplication::setPalette(DesktopPalettes::dark());
    QTRY_COMPARE(sidebarPixel(), QColor::fromRgbF(0.11f, 0.122f, 0.137f).rgb());

    QApplication::setPalette(DesktopPalettes::light());
    QTRY_COMPARE(sidebarPixel(), QColor::fromRgbF(0.952f, 0.97f, 0.985f).rgb());
}

void tst_ContentView::bannerFollowsOperationMessage()
{
    AuthToolModel model;
    ContentView view(&model);
    view.show();
    auto *banner = view.currentPage()->findChild<OperationBanner *>();
    QVERIFY(banner);
    QVERIFY(!banner->isVisible());

    model.showOperation(QStringLiteral("安装失败：磁盘已满。"), OperationTone::Error);
    QVERIFY(banner->isVisible());
    QCOMPARE(banner->message(), QStringLiteral("安装失败：磁盘已满。"));
    QCOMPARE(banner->tone(), OperationTone::Error);

    // A page built while a message is up shows it at once.
    QTest::mouseClick(view.sidebar()->item(AppPage::LocalPlugin), Qt::LeftButton);
    auto *pluginBanner = view.currentPage()->findChild<OperationBanner *>();
    QVERIFY(pluginBanner);
    QVERIFY(pluginBanner->isVisible());
    QCOMPARE(pluginBanner->message(), QStringLiteral("安装失败：磁盘已满。"));
}

QTEST_MAIN(tst_ContentView)
#include "tst_contentview.moc"
