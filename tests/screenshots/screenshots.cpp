#include "StagedModel.h"
#include "DesktopPalettes.h"
#include "FakeWpsAddons.h"
#include "ScratchHome.h"
#include "StandinService.h"
#include "app/MainWindow.h"
#include "model/AuthToolModel.h"
#include "platform/ManagedPolicy.h"
#include "ui/ActionRow.h"
#include "ui/CompactNotice.h"
#include "ui/ContentView.h"
#include "ui/InlineButton.h"
#include "ui/LocalPluginPanel.h"
#include "ui/PluginCard.h"
#include "ui/OperationBanner.h"
#include "ui/PageTitle.h"
#include "ui/Sidebar.h"
#include "ui/SidebarItem.h"
#include "ui/SmallStatusPill.h"
#include "ui/UiPalette.h"

#include <QApplication>
#include <QDir>
#include <QHBoxLayout>
#include <QJsonObject>
#include <QTest>
#include <QVBoxLayout>

namespace {

QString modeName(bool dark)
{
    return dark ? QStringLiteral("dark") : QStringLiteral("light");
}

} // namespace

// Pictures of the window for a person to look at, in light and dark.
class tst_Screenshots : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void pages_data();
    void pages();
    void components_data() { pages_data(); }
    void components();
    void pluginPages_data();
    void pluginPages();
    void pluginPagesDuringDownload_data() { pages_data(); }
    void pluginPagesDuringDownload();
    void policies_data();
    void policies();

private:
    QString artifactPath(const QString &name) const { return QDir(TEST_ARTIFACT_DIR).filePath(name); }
};

void tst_Screenshots::initTestCase()
{
    QVERIFY(QDir().mkpath(TEST_ARTIFACT_DIR));
    QApplication::setWindowIcon(QIcon(QStringLiteral(TEST_DATA_DIR "/AppIcon.png")));
    QVERIFY(!QApplication::windowIcon().isNull());
}

void tst_Screenshots::pages_data()
{
    QTest::addColumn<bool>("dark");
    QTest::newRow("light") << false;
    QTest::newRow("dark") << true;
}

void tst_Screenshots::pages()
{
    QFETCH(bool, dark);
    QApplication::setPalette(dark ? DesktopPalettes::dark() : DesktopPalettes::light());
    AuthToolModel model;
    model.showOperation(QStringLiteral("请先退出 WPS Office，再进行安装/修复。"), OperationTone::Warning);
    MainWindow window(&model);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    const QString mode = dark ? QStringLiteral("dark") : QStringLiteral("light");
    for (AppPage page : allAppPages()) {
        QTest::mouseClick(window.contentView()->sidebar()->item(page), Qt::LeftButton);
        const QImage shot = window.grab().toImage();
        QCOMPARE(shot.size(), MainWindow::contentSize);
        const QString name = QStringLiteral("window-%1-%2.png").arg(int(page)).arg(mode);
        QVERIFY(shot.save(artifactPath(name)));
    }
}

void tst_Screenshots::components()
{
    QFETCH(bool, dark);
    QApplication::setPalette(dark ? DesktopPalettes::dark() : DesktopPalettes::light());
    QWidget sheet;
    sheet.setAutoFillBackground(true);
    auto *stack = new QVBoxLayout(&sheet);
    stack->setContentsMargins(24, 24, 24, 24);
    stack->setSpacing(14);
    stack->addWidget(new PageTitle(QStringLiteral("组件"), QStringLiteral("按钮、提示与操作行在同一页上的样子。"), &sheet));
    for (OperationTone tone : {OperationTone::Info, OperationTone::Success, OperationTone::Warning, OperationTone::Error}) {
        auto *banner = new OperationBanner(&sheet);
        banner->setMessage(QStringLiteral("安装完成：插件已更新到 v1.4.2。"), tone);
        stack->addWidget(banner);
    }
    auto *longBanner = new OperationBanner(&sheet);
    longBanner->setMessage(QStringLiteral("安装失败：安装脚本退出码 1。请确认 WPS Office 已完全退出、磁盘空间充足，然后在「本机插件」页重新点击「安装 / 修复」；若仍失败，请查看活动日志。"),
                           OperationTone::Error);
    stack->addWidget(longBanner);
    auto *buttons = new QHBoxLayout;
    const auto addButton = [&](const QString &title, bool prominent, InlineButton::Role role, bool busy, bool disabled) {
        auto *button = new InlineButton(title, &sheet);
        button->setProminent(prominent);
        button->setRole(role);
        button->setBusy(busy);
        button->setDisabled(disabled);
        buttons->addWidget(button);
    };
    addButton(QStringLiteral("更新到 1.4.2"), true, InlineButton::Role::None, false, false);
    addButton(QStringLiteral("安装"), true, InlineButton::Role::None, true, false);
    addButton(QStringLiteral("卸载插件"), false, InlineButton::Role::Destructive, false, false);
    addButton(QStringLiteral("打开"), false, InlineButton::Role::None, false, false);
    addButton(QStringLiteral("打开"), false, InlineButton::Role::None, false, true);
    buttons->addWidget(new SmallStatusPill(QStringLiteral("在线"), UiPalette::green(), &sheet));
    buttons->addWidget(new SmallStatusPill(QStringLiteral("离线"), UiPalette::orange(), &sheet));
    buttons->addStretch(1);
    stack->addLayout(buttons);
    stack->addWidget(new CompactNotice(QStringLiteral("info.circle"),
                                       QStringLiteral("插件的安装、修复与卸载都在「本机插件」页完成，概览只显示整体状态与提醒。"),
                                       UiPalette::infoColor(), &sheet));
    stack->addWidget(new ActionRow(QStringLiteral("sparkles"), QStringLiteral("服务方案"),
                                   QStringLiteral("套餐、权益和续费入口"), new InlineButton(QStringLiteral("打开")), &sheet));
    stack->addWidget(new ActionRow(QStringLiteral("message.and.waveform"), QStringLiteral("在线工具"),
                                   QStringLiteral("Corvanta 分组对话"), new InlineButton(QStringLiteral("打开")), &sheet));
    stack->addStretch(1);
    sheet.resize(760, 640);
    sheet.show();
    QVERIFY(QTest::qWaitForWindowExposed(&sheet));
    const QString mode = dark ? QStringLiteral("dark") : QStringLiteral("light");
    QVERIFY(sheet.grab().save(artifactPath(QStringLiteral("components-%1.png").arg(mode))));
}

void tst_Screenshots::pluginPages_data()
{
    QTest::addColumn<bool>("dark");
    QTest::addColumn<PluginInstallState>("state");
    QTest::addColumn<QString>("installed");
    QTest::addColumn<QString>("latest");
    QTest::addColumn<bool>("online");
    for (bool dark : {false, true}) {
        const auto row = [dark](const char *name) -> QTestData & {
            return QTest::addRow("%s-%s", name, qPrintable(modeName(dark))) << dark;
        };
        row("unknown") << PluginInstallState::Unknown << QString() << QString() << true;
        row("notInstalled") << PluginInstallState::NotInstalled << QString() << QStringLiteral("1.4.2") << true;
        row("updateAvailable") << PluginInstallState::UpdateAvailable << QStringLiteral("1.3.0")
                               << QStringLiteral("1.4.2") << true;
        row("upToDate") << PluginInstallState::UpToDate << QStringLiteral("1.4.2") << QStringLiteral("1.4.2") << true;
        row("offline") << PluginInstallState::UpdateAvailable << QStringLiteral("1.3.0") << QStringLiteral("1.4.2")
                       << false;
    }
}

void tst_Screenshots::pluginPages()
{
    QFETCH(bool, dark);
    QFETCH(PluginInstallState, state);
    QFETCH(QString, installed);
    QFETCH(QString, latest);
    QFETCH(bool, online);
    QApplication::setPalette(dark ? DesktopPalettes::dark() : DesktopPalettes::light());
    // Learnt as the tool learns them: from WPS's add-in folder and from the service.
    ScratchHome home;
    if (!installed.isNull())
        FakeWpsAddons().installTypical(installed);
    StandinService service(latest.isNull() ? QStringList() : QStringList{QStringLiteral("--latest"), latest});
    QVERIFY2(service.isRunning(), qPrintable(service.errorOutput()));
    StagedModel staged(ClientAuthAPI(service.baseUrl()));
    AuthToolModel &model = staged.model;
    model.refreshInstalledPluginVersion();
    if (!latest.isNull())
        QCoro::waitFor(model.checkLatestPluginRelease());
    staged.setOnline(online);
    QCOMPARE(model.pluginInstallState(), state);
    MainWindow window(&model);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    for (AppPage page : {AppPage::Overview, AppPage::LocalPlugin}) {
        QTest::mouseClick(window.contentView()->sidebar()->item(page), Qt::LeftButton);
        const QString name = QStringLiteral("plugin-%1-%2.png").arg(int(page)).arg(QString::fromUtf8(QTest::currentDataTag()));
        QVERIFY(window.grab().save(artifactPath(name)));
    }
}

void tst_Screenshots::pluginPagesDuringDownload()
{
    QFETCH(bool, dark);
    QApplication::setPalette(dark ? DesktopPalettes::dark() : DesktopPalettes::light());
    ScratchHome home;
    StandinService service({QStringLiteral("--pad-mb"), QStringLiteral("48"), QStringLiteral("--slow-ms"),
                            QStringLiteral("300")});
    QVERIFY2(service.isRunning(), qPrintable(service.errorOutput()));
    StagedModel staged(ClientAuthAPI(service.baseUrl()));
    AuthToolModel &model = staged.model;
    QCoro::waitFor(model.credentialStore().storeCredential(StandinService::validCredential));
    model.setInstallerResources(QStringLiteral(TEST_PAYLOAD_ROOT), 45);
    MainWindow window(&model);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QTest::mouseClick(window.contentView()->sidebar()->item(AppPage::LocalPlugin), Qt::LeftButton);
    // Photographed from inside the progress report, a third of the way through.
    bool taken = false;
    connect(&model, &AuthToolModel::downloadBytesReceivedChanged, this, [&](qint64 received) {
        const qint64 expected = model.downloadBytesExpected();
        if (taken || expected <= 0 || received * 3 < expected)
            return;
        taken = window.grab().save(artifactPath(QStringLiteral("plugin-download-%1.png").arg(modeName(dark))));
    });
    QTest::mouseClick(qobject_cast<LocalPluginPanel *>(window.contentView()->currentPage())->pluginCard()->primaryButton(),
                      Qt::LeftButton);
    QTRY_VERIFY_WITH_TIMEOUT(taken && !model.isInstalling(), 60000);
}

void tst_Screenshots::policies_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QJsonObject>("values"); // empty: a policy file that is not JSON
    QTest::newRow("pinned") << "pinned" << QJsonObject{{"packageSource", "https://software.hospital.example/corvanta/"},
                                                     {"pinnedVersion", "1.3.0"}};
    QTest::newRow("online pages hidden") << "hidden" << QJsonObject{{"showOnlinePages", false}};
    QTest::newRow("invalid") << "invalid" << QJsonObject();
}

// The overview and the first online page under each policy, light.
void tst_Screenshots::policies()
{
    QFETCH(QString, name);
    QFETCH(QJsonObject, values);
    QApplication::setPalette(DesktopPalettes::light());
    const QString file = QStringLiteral("/etc/corvanta-manager/policy.json");
    AuthToolModel model;
    model.setPolicy(values.isEmpty() ? ManagedPolicy::invalid(file, QStringLiteral("不是一个 JSON 对象"))
                                     : ManagedPolicy::fromValues(values, {file}));
    MainWindow window(&model);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    for (AppPage page : {AppPage::Overview, AppPage::ServicePlan}) {
        QTest::mouseClick(window.contentView()->sidebar()->item(page), Qt::LeftButton);
        QVERIFY(window.grab().save(artifactPath(QStringLiteral("policy-%1-%2.png").arg(name).arg(int(page)))));
    }
}

QTEST_MAIN(tst_Screenshots)
#include "screenshots.moc"
