#include "StagedModel.h"
#include "DesktopPalettes.h"
#include "FakeWpsAddons.h"
#include "ScratchHome.h"
#include "StandinService.h"

#include "core/ConfirmationPrompt.h"
#include "model/AuthToolModel.h"
#include "ModelDownload.h"
#include "ui/ContentView.h"
#include "ui/DownloadProgressBar.h"
#include "ui/InlineButton.h"
#include "ui/LocalPluginPanel.h"
#include "ui/OverviewPanel.h"
#include "ui/PluginCard.h"
#include "ui/Sidebar.h"
#include "ui/SidebarItem.h"
#include "ui/StatusTile.h"
#include "ui/UiPalette.h"
#include "ui/UpdateAvailableBanner.h"

#include <QAccessible>
#include <QAction>
#include <QDir>
#include <QApplication>
#include <QSignalSpy>
#include <QTest>

namespace {

// Both pages, shown, on one model. The overview is shorter than its content: it must scroll, not
// squeeze its parts.
struct Pages
{
    explicit Pages(AuthToolModel *model) : overview(model), local(model)
    {
        overview.resize(900, 100);
        local.resize(900, 600);
        overview.show(), local.show();
    }
    PluginCard *card() const { return local.pluginCard(); }
    UpdateAvailableBanner *banner() const { return overview.updateBanner(); }

    OverviewPanel overview;
    LocalPluginPanel local;
};

const QString absent;

// Answers the uninstall's question, noting whether the add-in was still there when it was asked.
class AnsweringPrompt : public ConfirmationPrompt
{
public:
    bool confirm(const ConfirmationRequest &) override
    {
        addinPresentWhenAsked.append(!FakeWpsAddons().entryNames().filter(QStringLiteral("CorvantaAnalysis")).isEmpty());
        return answer;
    }

    bool answer = false;
    QList<bool> addinPresentWhenAsked;
};

} // namespace

class tst_PluginPages : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init() { QApplication::setPalette(DesktopPalettes::light()); }
    void stateTexts_data();
    void stateTexts();
    void connectivity_data();
    void connectivity();
    void progressFollowsSlowDownload();
    void installTurnsPrimaryButton_data();
    void installTurnsPrimaryButton();
    void uninstallAsksFirst();
    void keyboardStartsPrimaryAction();
};

void tst_PluginPages::stateTexts_data()
{
    QTest::addColumn<PluginInstallState>("state");
    QTest::addColumn<QString>("installed");
    QTest::addColumn<QString>("latest");
    QTest::addColumn<bool>("published"); // false: a mix the model never publishes, read by the parts alone
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("versionLine");
    QTest::addColumn<QString>("bannerDetail"); // empty: no update banner

    using S = PluginInstallState;
    QTest::newRow("unknown") << S::Unknown << absent << absent << true << "安装 / 修复" << "DIP/DRG 病案分析工作台" << "";
    QTest::newRow("unknown, installed known")
        << S::Unknown << "1.2.0" << absent << true << "安装 / 修复" << "v1.2.0  ·  DIP/DRG 病案分析工作台" << "";
    QTest::newRow("not installed")
        << S::NotInstalled << absent << "1.4.2" << true << "安装" << "未安装  ·  DIP/DRG 病案分析工作台" << "";
    QTest::newRow("update available")
        << S::UpdateAvailable << "1.3.0" << "1.4.2" << true << "更新到 1.4.2"
        << "v1.3.0 → v1.4.2 可用  ·  DIP/DRG 病案分析工作台" << "本机当前 1.3.0，点击「立即更新」拉取最新版本。";
    QTest::newRow("update available, installed unknown")
        << S::UpdateAvailable << absent << "1.4.2" << false << "更新到 1.4.2"
        << "v? → v1.4.2 可用  ·  DIP/DRG 病案分析工作台" << "点击「立即更新」从服务端拉取最新版本。";
    QTest::newRow("update available, latest unknown")
        << S::UpdateAvailable << "1.3.0" << absent << false << "更新到 " << "v1.3.0 → v? 可用  ·  DIP/DRG 病案分析工作台" << "";
    QTest::newRow("up to date") << S::UpToDate << "1.4.2" << "1.4.2" << true << "检查更新"
                                << "v1.4.2 (最新)  ·  DIP/DRG 病案分析工作台" << "";
    QTest::newRow("up to date, installed unknown")
        << S::UpToDate << absent << "1.4.2" << false << "检查更新" << "v? (最新)  ·  DIP/DRG 病案分析工作台" << "";
}

void tst_PluginPages::stateTexts()
{
    QFETCH(PluginInstallState, state);
    QFETCH(QString, installed);
    QFETCH(QString, latest);
    QFETCH(bool, published);
    QFETCH(QString, title);
    QFETCH(QString, versionLine);
    QFETCH(QString, bannerDetail);
    ScratchHome home;
    if (!published) {
        QCOMPARE(PluginCard::primaryButtonText(state, latest), title);
        QCOMPARE(PluginCard::versionLine(state, installed, latest), versionLine);
        StagedModel staged;
        UpdateAvailableBanner banner(&staged.model);
        banner.setVersions(latest, installed);
        if (!bannerDetail.isEmpty())
            QCOMPARE(banner.detail(), bannerDetail);
        return;
    }
    StandinService service(latest.isNull() ? QStringList() : QStringList{QStringLiteral("--latest"), latest});
    QVERIFY2(service.isRunning(), qPrintable(service.errorOutput()));
    StagedModel staged(ClientAuthAPI(service.baseUrl()));
    AuthToolModel &model = staged.model;
    Pages pages(&model);
    // Learnt after the pages are built, from disk and service: they follow the model, not just read it once.
    if (!installed.isNull())
        FakeWpsAddons().installTypical(installed);
    model.refreshInstalledPluginVersion();
    if (!latest.isNull())
        QVERIFY(QCoro::waitFor(model.checkLatestPluginRelease()).isDone());
    QCOMPARE(model.pluginInstallState(), state);

    QCOMPARE(pages.card()->primaryButton()->title(), title);
    QCOMPARE(pages.card()->versionLineText(), versionLine);
    QCOMPARE(pages.banner()->isVisible(), !bannerDetail.isEmpty());
    if (!bannerDetail.isEmpty()) {
        QCOMPARE(pages.banner()->headline(), QStringLiteral("插件有新版本 1.4.2 可用"));
        QCOMPARE(pages.banner()->detail(), bannerDetail);
    }
}

void tst_PluginPages::connectivity_data()
{
    QTest::addColumn<bool>("online");
    QTest::addColumn<QString>("symbol");
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("detail");
    QTest::addColumn<QColor>("color");
    QTest::newRow("online") << true << "wifi" << "在线" << "服务可访问" << UiPalette::green();
    QTest::newRow("offline") << false << "wifi.slash" << "离线" << "本机功能可用" << UiPalette::orange();
}

void tst_PluginPages::connectivity()
{
    QFETCH(bool, online);
    QFETCH(QString, symbol);
    QFETCH(QString, value);
    QFETCH(QString, detail);
    QFETCH(QColor, color);
    ScratchHome home;
    FakeWpsAddons().installTypical(QStringLiteral("1.3.0"));
    StandinService service({QStringLiteral("--latest"), QStringLiteral("1.4.2")});
    QVERIFY2(service.isRunning(), qPrintable(service.errorOutput()));
    StagedModel staged(ClientAuthAPI(service.baseUrl()));
    AuthToolModel &model = staged.model;
    model.refreshInstalledPluginVersion();
    QVERIFY(QCoro::waitFor(model.checkLatestPluginRelease()).isDone());
    QCOMPARE(model.pluginInstallState(), PluginInstallState::UpdateAvailable);
    staged.setOnline(!online);
    Pages pages(&model);

    staged.setOnline(online);

    StatusTile *tile = pages.overview.networkTile();
    QCOMPARE(tile->label(), QStringLiteral("网络"));
    QCOMPARE(tile->symbol(), symbol);
    QCOMPARE(tile->value(), value);
    QCOMPARE(tile->detail(), detail);
    QCOMPARE(tile->color(), color);
    QCOMPARE(QAccessible::queryAccessibleInterface(tile)->text(QAccessible::Name),
             QStringLiteral("网络：") + value + QStringLiteral("，") + detail);
    // Offline only "立即更新" is held back; what the card's button does offline is the operation's call.
    InlineButton *updateNow = pages.banner()->updateButton();
    QCOMPARE(updateNow->isEnabled(), online);
    QCOMPARE(updateNow->opacity(), online ? 1.0 : 0.55);
    QCOMPARE(updateNow->labelText(), QStringLiteral("立即更新"));
    QVERIFY(pages.card()->primaryButton()->isEnabled());
    QCOMPARE(pages.card()->primaryButton()->opacity(), 1.0);
}

void tst_PluginPages::progressFollowsSlowDownload()
{
    ScratchHome home;
    StandinService service({QStringLiteral("--pad-mb"), QStringLiteral("16"), QStringLiteral("--slow-ms"),
                            QStringLiteral("400")});
    QVERIFY2(service.isRunning(), qPrintable(service.errorOutput()));
    StagedModel staged(ClientAuthAPI(service.baseUrl()));
    AuthToolModel &model = staged.model;
    QCoro::waitFor(model.credentialStore().storeCredential(StandinService::validCredential));
    LocalPluginPanel page(&model);
    page.show();
    DownloadProgressBar *bar = page.pluginCard()->progressBar();
    QVERIFY(!bar->isVisible());
    QCOMPARE(DownloadProgressBar::captionFor(12'345'678, 64'000'000), QStringLiteral("已下载 12.3 / 64.0 MB"));
    QCOMPARE(DownloadProgressBar::captionFor(3'250'000, -1), QStringLiteral("已下载 3.3 MB"));

    // Every report with a known size, as the bar shows it at that moment.
    int determinateReports = 0;
    connect(&model, &AuthToolModel::downloadBytesReceivedChanged, this, [&](qint64 received) {
        const qint64 expected = model.downloadBytesExpected();
        if (expected <= 0)
            return;
        ++determinateReports;
        QCOMPARE(bar->maximum(), DownloadProgressBar::steps);
        QCOMPARE(bar->value(), int(received * DownloadProgressBar::steps / expected));
        QVERIFY(bar->isVisible());
    });
    auto download = downloadThrough(model);
    // The service answers late: the bar sweeps while the size is not known yet.
    QTRY_VERIFY(bar->isVisible());
    QVERIFY(bar->isIndeterminate());
    QCOMPARE(bar->caption(), QStringLiteral("已下载 0.0 MB"));

    const CachedPluginPackage package = QCoro::waitFor(std::move(download));
    QVERIFY(!package.directory.isEmpty());
    QVERIFY(!bar->isVisible());
    QCOMPARE(model.downloadBytesExpected(), 0);
    QVERIFY(determinateReports > 1);
}

void tst_PluginPages::installTurnsPrimaryButton_data()
{
    QTest::addColumn<QString>("installedBefore");
    QTest::addColumn<bool>("fromOverview");
    QTest::addColumn<QString>("titleBefore");
    QTest::newRow("install from the card") << absent << false << "安装";
    QTest::newRow("update from the overview") << "1.3.0" << true << "更新到 1.4.2";
}

void tst_PluginPages::installTurnsPrimaryButton()
{
    QFETCH(QString, installedBefore);
    QFETCH(bool, fromOverview);
    QFETCH(QString, titleBefore);
    ScratchHome home;
    if (!installedBefore.isNull())
        FakeWpsAddons().installTypical(installedBefore);
    // Slow answers keep the install going long enough to be seen.
    StandinService service({QStringLiteral("--slow-ms"), QStringLiteral("300")});
    QVERIFY2(service.isRunning(), qPrintable(service.errorOutput()));
    StagedModel staged(ClientAuthAPI(service.baseUrl()));
    AuthToolModel &model = staged.model;
    QCoro::waitFor(model.credentialStore().storeCredential(StandinService::validCredential));
    model.setInstallerResources(QStringLiteral(TEST_PAYLOAD_ROOT), 45);
    model.refreshInstalledPluginVersion();
    QCoro::waitFor(model.checkLatestPluginRelease());
    Pages pages(&model);
    InlineButton *primary = pages.card()->primaryButton();
    InlineButton *updateNow = pages.banner()->updateButton();
    QCOMPARE(primary->labelText(), titleBefore);
    QCOMPARE(pages.banner()->isVisible(), fromOverview);
    QVERIFY(QTest::qWaitForWindowExposed(&pages.overview) && QTest::qWaitForWindowExposed(&pages.local));

    QTest::mouseClick(fromOverview ? updateNow : primary, Qt::LeftButton);
    QTRY_VERIFY(model.isInstalling());
    for (InlineButton *button : {primary, updateNow}) {
        QCOMPARE(button->labelText(), QStringLiteral("处理中"));
        // Busy, not disabled: the keyboard focus stays on the button that started it.
        QVERIFY(button->isBusy() && button->isEnabled());
    }
    QTRY_VERIFY_WITH_TIMEOUT(!model.isInstalling(), 60000);
    QCOMPARE(model.operationTone(), OperationTone::Success);
    QCOMPARE(primary->labelText(), QStringLiteral("检查更新"));
    QCOMPARE(pages.card()->versionLineText(), QStringLiteral("v1.4.2 (最新)  ·  DIP/DRG 病案分析工作台"));
    QVERIFY(!pages.banner()->isVisible());
}

void tst_PluginPages::uninstallAsksFirst()
{
    ScratchHome home;
    FakeWpsAddons().installTypical(QStringLiteral("1.4.2"));
    StagedModel staged;
    AuthToolModel &model = staged.model;
    auto prompt = std::make_shared<AnsweringPrompt>();
    model.setConfirmationPrompt(prompt);
    model.refreshInstalledPluginVersion();
    LocalPluginPanel page(&model);
    QAction *uninstall = page.pluginCard()->uninstallAction();
    QCOMPARE(uninstall->text(), QStringLiteral("卸载插件"));

    uninstall->trigger();
    QTRY_COMPARE(prompt->addinPresentWhenAsked, QList<bool>{true});
    QCOMPARE(model.installedPluginVersionPublished(), QStringLiteral("1.4.2"));

    prompt->answer = true;
    uninstall->trigger();
    QTRY_COMPARE(prompt->addinPresentWhenAsked, (QList<bool>{true, true}));
    QTRY_VERIFY(FakeWpsAddons().entryNames().filter(QStringLiteral("CorvantaAnalysis")).isEmpty());
    QCOMPARE(page.pluginCard()->versionLineText(), QStringLiteral("DIP/DRG 病案分析工作台"));
}

void tst_PluginPages::keyboardStartsPrimaryAction()
{
    ScratchHome home;
    StandinService service({QStringLiteral("--latest"), QStringLiteral("1.4.2")});
    QVERIFY2(service.isRunning(), qPrintable(service.errorOutput()));
    FakeWpsAddons().installTypical(QStringLiteral("1.4.2"));
    StagedModel staged(ClientAuthAPI(service.baseUrl()));
    AuthToolModel &model = staged.model;
    model.refreshInstalledPluginVersion();
    QCoro::waitFor(model.checkLatestPluginRelease());
    ContentView view(&model);
    view.resize(1160, 760);
    view.show();
    QVERIFY(QTest::qWaitForWindowActive(&view));
    const auto press = [](Qt::Key key) {
        QTest::keyClick(QApplication::focusWidget(), key);
        return QApplication::focusWidget();
    };
    // Focus starts on the sidebar's entry of the page shown; down and up its list to the local plugin page.
    QCOMPARE(QApplication::focusWidget(), view.sidebar()->item(AppPage::Overview));
    QCOMPARE(press(Qt::Key_Down), view.sidebar()->item(AppPage::LocalPlugin));
    QCOMPARE(view.selectedPage(), AppPage::LocalPlugin);
    QCOMPARE(press(Qt::Key_Down), view.sidebar()->item(AppPage::ServicePlan));
    QCOMPARE(view.selectedPage(), AppPage::ServicePlan);
    QCOMPARE(press(Qt::Key_Up), view.sidebar()->item(AppPage::LocalPlugin));
    QCOMPARE(view.selectedPage(), AppPage::LocalPlugin);
    // On through the remaining entries to the card's primary button.
    for (AppPage page : {AppPage::ServicePlan, AppPage::AccountSettings, AppPage::Guide})
        QCOMPARE(press(Qt::Key_Tab), view.sidebar()->item(page));
    InlineButton *primary = qobject_cast<LocalPluginPanel *>(view.currentPage())->pluginCard()->primaryButton();
    QCOMPARE(press(Qt::Key_Tab), primary);

    QSignalSpy messages(&model, &AuthToolModel::operationMessageChanged);
    QTest::keyClick(primary, Qt::Key_Space);
    QTRY_COMPARE(messages.size(), 2);
    QCOMPARE(messages.at(0).at(0).toString(), QStringLiteral("正在检查最新插件版本..."));
    QCOMPARE(messages.at(1).at(0).toString(), QStringLiteral("本机插件已是最新版 1.4.2。"));
}

QTEST_MAIN(tst_PluginPages)
#include "tst_pluginpages.moc"
